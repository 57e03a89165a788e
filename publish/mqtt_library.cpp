#include "publish/mqtt_library.h"

#include <mosquitto.h>

#include <mutex>

namespace qv::publish {

void ensureMqttLibrary() {
    static std::once_flag ready;
    std::call_once(ready, [] { mosquitto_lib_init(); });
}

} // namespace qv::publish
