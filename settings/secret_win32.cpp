// The secret encrypted with the user's DPAPI key (CryptProtectData, never showing any
// prompt), kept as lowercase hexadecimal text of the encrypted blob.

#include "settings/secret.h"

#include <windows.h>

#include <dpapi.h>

namespace qv {
namespace {

// Frees what CryptProtectData and CryptUnprotectData hand back.
struct LocalBlob {
    DATA_BLOB blob{};
    ~LocalBlob() {
        if (blob.pbData != nullptr)
            ::LocalFree(blob.pbData);
    }
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::optional<std::string> protectSecret(std::string_view secret) {
    if (secret.empty())
        return std::string{};
    DATA_BLOB in{static_cast<DWORD>(secret.size()),
                 reinterpret_cast<BYTE*>(const_cast<char*>(secret.data()))};
    LocalBlob out;
    if (!::CryptProtectData(&in, L"QV-5300", nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                            &out.blob))
        return std::nullopt;
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(out.blob.cbData * 2);
    for (DWORD i = 0; i < out.blob.cbData; ++i) {
        text += kDigits[out.blob.pbData[i] >> 4];
        text += kDigits[out.blob.pbData[i] & 0xF];
    }
    return text;
}

std::optional<std::string> unprotectSecret(std::string_view stored) {
    if (stored.empty())
        return std::string{};
    if (stored.size() % 2 != 0)
        return std::nullopt;
    std::string bytes(stored.size() / 2, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int high = hexDigit(stored[2 * i]);
        const int low = hexDigit(stored[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes[i] = static_cast<char>(high << 4 | low);
    }
    DATA_BLOB in{static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(bytes.data())};
    LocalBlob out;
    if (!::CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                              &out.blob))
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(out.blob.pbData), out.blob.cbData);
}

} // namespace qv
