// Values between the driver's value records and JSON: what an object reads
// as, and what a set payload writes, with the checks a payload must pass
// before anything goes to the line.
#ifndef ZL_ZLBRIDGE_VALUES_H
#define ZL_ZLBRIDGE_VALUES_H

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

namespace zl::tools {
class DriverSession;
}

namespace zl::bridge {

// The driver's code of a type name of the channel map; 0 for none.
uint32_t TypeCode(const std::string &name);

// The channel's value read as the type, as JSON: a boolean, a number or a text.
nlohmann::json ReadValue(const tools::DriverSession &driver, uint16_t channel,
                         const std::string &type);

// A set payload: a JSON value, or an object {"value": ..., "id": ...} whose
// id comes back in the result.
struct SetRequest {
  nlohmann::json Value;
  nlohmann::json Id;  // null when none
};
bool ParsePayload(const std::string &payload, SetRequest &out, std::string &error);

// The 8 value bytes of OutputRequest for a value written as the type; false
// with a message when the value does not fit the type.
bool EncodeValue(const nlohmann::json &value, const std::string &type, uint64_t &bytes,
                 double &number, std::string &error);

}  // namespace zl::bridge

#endif  // ZL_ZLBRIDGE_VALUES_H
