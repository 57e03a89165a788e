#include "serial/termios_map_posix.h"

#include <cerrno>
#include <iterator>
#include <sys/ioctl.h>

namespace qv {

namespace {

struct Rate {
    std::uint32_t baud;
    speed_t speed;
};

constexpr Rate kRates[] = {
    {50, B50},           {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},         {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},       {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600},     {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},
#endif
#ifdef B576000
    {576000, B576000},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
#ifdef B1152000
    {1152000, B1152000},
#endif
#ifdef B1500000
    {1500000, B1500000},
#endif
#ifdef B2000000
    {2000000, B2000000},
#endif
#ifdef B2500000
    {2500000, B2500000},
#endif
#ifdef B3000000
    {3000000, B3000000},
#endif
#ifdef B3500000
    {3500000, B3500000},
#endif
#ifdef B4000000
    {4000000, B4000000},
#endif
};

#ifdef CMSPAR
constexpr tcflag_t kMarkSpace = CMSPAR;
#else
constexpr tcflag_t kMarkSpace = 0;
#endif
#ifdef CRTSCTS
constexpr tcflag_t kRtsCts = CRTSCTS;
#else
constexpr tcflag_t kRtsCts = 0;
#endif

constexpr tcflag_t kFramingBits = CSIZE | CSTOPB | PARENB | PARODD | kMarkSpace;
constexpr tcflag_t kRawInputOff =
    IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY;
constexpr tcflag_t kRawLocalOff = ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN;

std::optional<speed_t> speedOf(std::uint32_t baud) {
    for (const Rate& r : kRates)
        if (r.baud == baud)
            return r.speed;
    return std::nullopt;
}

std::uint32_t baudOf(speed_t speed) {
    for (const Rate& r : kRates)
        if (r.speed == speed)
            return r.baud;
    return 0;
}

std::optional<tcflag_t> byteSizeBits(std::uint8_t byteSize) {
    switch (byteSize) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    case 8:
        return CS8;
    default:
        return std::nullopt;
    }
}

std::optional<tcflag_t> parityBits(std::uint8_t parity) {
    switch (parity) {
    case 0:
        return tcflag_t{0};
    case 1:
        return tcflag_t{PARENB | PARODD};
    case 2:
        return tcflag_t{PARENB};
    case 3:
    case 4:
        if (kMarkSpace == 0)
            return std::nullopt;
        return tcflag_t{PARENB | kMarkSpace | (parity == 3 ? PARODD : 0)};
    default:
        return std::nullopt;
    }
}

// One and a half stop bits exist only with 5-bit bytes, where the UART makes them of
// the two-stop-bit setting.
std::optional<tcflag_t> stopBits(std::uint8_t stopBits, std::uint8_t byteSize) {
    switch (stopBits) {
    case 0:
        return tcflag_t{0};
    case 1:
        if (byteSize != 5)
            return std::nullopt;
        return tcflag_t{CSTOPB};
    case 2:
        return tcflag_t{CSTOPB};
    default:
        return std::nullopt;
    }
}

// RTS handshake is RTS/CTS flow control; every other mode drives RTS by hand.
std::optional<tcflag_t> rtsHandshakeBits(int rtsControl) {
    if (rtsControl != kRtsHandshake)
        return tcflag_t{0};
    if (kRtsCts == 0)
        return std::nullopt;
    return kRtsCts;
}

// Every byte reaches the reader unchanged and nothing is added on output; the receiver
// is on and the modem-status lines are ignored. Parity errors are checked when asked.
void setRawMode(termios& settings, bool parityCheck) {
    settings.c_iflag &= ~kRawInputOff;
    if (parityCheck)
        settings.c_iflag |= INPCK;
    else
        settings.c_iflag &= ~INPCK;
    settings.c_oflag &= ~OPOST;
    settings.c_lflag &= ~kRawLocalOff;
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
}

} // namespace

Dcb dcbFromTermios(const termios& settings, std::optional<int> modemBits) {
    Dcb dcb;
    dcb.BaudRate = baudOf(cfgetospeed(&settings));
    switch (settings.c_cflag & CSIZE) {
    case CS5:
        dcb.ByteSize = 5;
        break;
    case CS6:
        dcb.ByteSize = 6;
        break;
    case CS7:
        dcb.ByteSize = 7;
        break;
    default:
        dcb.ByteSize = 8;
        break;
    }
    if (!(settings.c_cflag & PARENB))
        dcb.Parity = 0;
    else if (kMarkSpace != 0 && (settings.c_cflag & kMarkSpace))
        dcb.Parity = (settings.c_cflag & PARODD) ? 3 : 4;
    else
        dcb.Parity = (settings.c_cflag & PARODD) ? 1 : 2;
    if (settings.c_cflag & CSTOPB)
        dcb.StopBits = dcb.ByteSize == 5 ? 1 : 2;

    dcb.flags = Dcb::kBinary;
    if (settings.c_iflag & INPCK)
        dcb.flags |= Dcb::kParityCheck;
    const int lines = modemBits.value_or(0);
    dcb.setDtrControl((lines & TIOCM_DTR) ? kDtrEnable : kDtrDisable);
    if (kRtsCts != 0 && (settings.c_cflag & kRtsCts)) {
        dcb.flags |= Dcb::kOutxCtsFlow;
        dcb.setRtsControl(kRtsHandshake);
    } else {
        dcb.setRtsControl((lines & TIOCM_RTS) ? kRtsEnable : kRtsDisable);
    }
    return dcb;
}

Status applyDcbToTermios(const Dcb& dcb, termios& settings) {
    // Every field is checked before any is written, so a refusal changes nothing.
    const std::optional<speed_t> speed = speedOf(dcb.BaudRate);
    const std::optional<tcflag_t> size = byteSizeBits(dcb.ByteSize);
    const std::optional<tcflag_t> parity = parityBits(dcb.Parity);
    const std::optional<tcflag_t> stop = stopBits(dcb.StopBits, dcb.ByteSize);
    const std::optional<tcflag_t> handshake = rtsHandshakeBits(dcb.rtsControl());
    if (!speed || !size || !parity || !stop || !handshake)
        return EINVAL;
    setRawMode(settings, (dcb.flags & Dcb::kParityCheck) != 0);
    settings.c_cflag &= ~(kFramingBits | kRtsCts);
    settings.c_cflag |= *size | *parity | *stop | *handshake;
    cfsetispeed(&settings, *speed);
    cfsetospeed(&settings, *speed);
    return 0;
}

bool termiosTaken(const termios& wanted, const termios& actual) {
    constexpr tcflag_t cflagMask = kFramingBits | kRtsCts | CLOCAL | CREAD;
    constexpr tcflag_t iflagMask = kRawInputOff | INPCK;
    return cfgetospeed(&wanted) == cfgetospeed(&actual) &&
           cfgetispeed(&wanted) == cfgetispeed(&actual) &&
           (wanted.c_cflag & cflagMask) == (actual.c_cflag & cflagMask) &&
           (wanted.c_iflag & iflagMask) == (actual.c_iflag & iflagMask) &&
           (wanted.c_lflag & kRawLocalOff) == (actual.c_lflag & kRawLocalOff) &&
           (wanted.c_oflag & OPOST) == (actual.c_oflag & OPOST) &&
           wanted.c_cc[VMIN] == actual.c_cc[VMIN] && wanted.c_cc[VTIME] == actual.c_cc[VTIME];
}

} // namespace qv
