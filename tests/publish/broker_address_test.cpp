// The broker address as the user types it. Pure text rules, the same on every platform:
// built for Linux only.

#include "publish/broker_address.h"
#include "tests/support/named_row.h"

#include <gtest/gtest.h>

namespace qv::publish {
namespace {

struct AddressRow : test::NamedRow {
    const char* text;
    const char* host; // nullptr: refused, and the error mentions `port`'s text below
    int port;
    bool tls;
    const char* error = "";
};

class BrokerAddresses : public testing::TestWithParam<AddressRow> {};

TEST_P(BrokerAddresses, ParseOrSayWhatIsWrong) {
    const AddressRow& row = GetParam();
    const BrokerAddressParse parse = parseBrokerAddress(row.text);
    ASSERT_EQ(parse.ok, row.host != nullptr) << parse.error;
    if (parse.ok) {
        EXPECT_EQ(parse.address.host, row.host);
        EXPECT_EQ(parse.address.port, row.port);
        EXPECT_EQ(parse.address.tls, row.tls);
    } else {
        EXPECT_NE(parse.error.find(row.error), std::string::npos) << parse.error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BrokerAddresses,
    testing::Values(
        AddressRow{{"PlainDefaultPort"}, "mqtt://broker.lan", "broker.lan", 1883, false},
        AddressRow{{"TlsDefaultPort"}, "mqtts://broker.lan", "broker.lan", 8883, true},
        AddressRow{{"GivenPort"}, "mqtt://10.0.0.2:1884", "10.0.0.2", 1884, false},
        AddressRow{{"SpacesAndSchemeCase"}, "  MQTTS://h:65535 ", "h", 65535, true},
        AddressRow{{"Ipv6InBrackets"}, "mqtt://[::1]", "::1", 1883, false},
        AddressRow{{"Ipv6WithPort"}, "mqtts://[fe80::1]:9000", "fe80::1", 9000, true},
        AddressRow{{"Empty"}, "  ", nullptr, 0, false, "no broker address"},
        AddressRow{{"NoScheme"}, "broker.lan:1883", nullptr, 0, false, "mqtt://"},
        AddressRow{{"OtherScheme"}, "http://broker.lan", nullptr, 0, false, "mqtt://"},
        AddressRow{{"NoHost"}, "mqtt://:1883", nullptr, 0, false, "no host"},
        AddressRow{{"PortZero"}, "mqtt://h:0", nullptr, 0, false, "1 to 65535"},
        AddressRow{{"PortTooBig"}, "mqtt://h:65536", nullptr, 0, false, "1 to 65535"},
        AddressRow{{"PortNotANumber"}, "mqtt://h:http", nullptr, 0, false, "1 to 65535"},
        AddressRow{{"EmptyPort"}, "mqtt://h:", nullptr, 0, false, "1 to 65535"},
        AddressRow{{"Path"}, "mqtt://h/topic", nullptr, 0, false, "no path"},
        AddressRow{{"UserInAddress"}, "mqtt://me:pw@h", nullptr, 0, false, "own field"},
        AddressRow{{"BareIpv6"}, "mqtt://::1", nullptr, 0, false, "brackets"},
        AddressRow{{"UnclosedBracket"}, "mqtt://[::1", nullptr, 0, false, "closing ]"},
        AddressRow{{"NameInBrackets"}, "mqtt://[host]", nullptr, 0, false, "IPv6"},
        AddressRow{{"JunkAfterBracket"}, "mqtt://[::1]x", nullptr, 0, false, ":port"},
        AddressRow{{"SpaceInHost"}, "mqtt://my host", nullptr, 0, false, "' '"}),
    test::RowName{});

} // namespace
} // namespace qv::publish
