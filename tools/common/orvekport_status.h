/*
 * Names and meanings of OrvekPORT's status codes for programs that use the
 * DLL, made by the preprocessor from the header's status table, so that
 * they can't drift from it. Plain C99 and C++.
 *
 *   printf("%s\n", orvekport_status_name(7));     -> E_TIMEOUT
 */
#ifndef ORVEKPORT_TOOLS_STATUS_H
#define ORVEKPORT_TOOLS_STATUS_H

#include <stdint.h>

#include "OrvekPORT/OrvekPORT.h"

/* "E_TIMEOUT" for 7; "UNKNOWN" for a code outside the table. */
static inline const char* orvekport_status_name(uint32_t status) {
  switch (status) {
#define ORVEKPORT_STATUS_NAME_CASE(name, value, meaning) \
  case value: return #name;
    ORVEKPORT_STATUS_MAP(ORVEKPORT_STATUS_NAME_CASE)
#undef ORVEKPORT_STATUS_NAME_CASE
    default: return "UNKNOWN";
  }
}

/* "E_NO_COMMA_AFTER_FIELD2" for 6, the name a record reader's parse status
 * has; "UNKNOWN" outside that table. */
static inline const char* orvekport_parse_status_name(uint32_t status) {
  switch (status) {
#define ORVEKPORT_PARSE_NAME_CASE(name, value, meaning) \
  case value: return #name;
    ORVEKPORT_PARSE_STATUS_MAP(ORVEKPORT_PARSE_NAME_CASE)
#undef ORVEKPORT_PARSE_NAME_CASE
    default: return "UNKNOWN";
  }
}

/* The table's one-line meaning; "unknown status" outside it. */
static inline const char* orvekport_status_meaning(uint32_t status) {
  switch (status) {
#define ORVEKPORT_STATUS_MEANING_CASE(name, value, meaning) \
  case value: return meaning;
    ORVEKPORT_STATUS_MAP(ORVEKPORT_STATUS_MEANING_CASE)
#undef ORVEKPORT_STATUS_MEANING_CASE
    default: return "unknown status";
  }
}

#endif /* ORVEKPORT_TOOLS_STATUS_H */
