#include "tests/publish/test_broker.h"

#include <cstdlib>

namespace qv::test {

struct TestBroker::Process {};

TestBroker::TestBroker() {
    const char* port = std::getenv("QV_TEST_MQTT_PORT");
    const char* user = std::getenv("QV_TEST_MQTT_USER");
    const char* password = std::getenv("QV_TEST_MQTT_PASSWORD");
    if (port == nullptr || user == nullptr || password == nullptr) {
        failure_ =
            "no broker: run under tests/publish/test_broker.sh around (scripts/test-windows)";
        return;
    }
    port_ = std::atoi(port);
    user_ = user;
    password_ = password;
}

TestBroker::~TestBroker() = default;

} // namespace qv::test
