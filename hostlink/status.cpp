#include "hostlink/status.h"

namespace orvek {

const char* status_name(StatusCode status) {
  switch (status) {
#define ORVEK_STATUS_NAME(name, value, meaning) \
  case value:                                  \
    return #name;
    ORVEKPORT_STATUS_MAP(ORVEK_STATUS_NAME)
#undef ORVEK_STATUS_NAME
  }
  return "UNKNOWN";
}

const char* status_meaning(StatusCode status) {
  switch (status) {
#define ORVEK_STATUS_MEANING(name, value, meaning) \
  case value:                                     \
    return meaning;
    ORVEKPORT_STATUS_MAP(ORVEK_STATUS_MEANING)
#undef ORVEK_STATUS_MEANING
  }
  return "unknown status";
}

}  // namespace orvek
