/* Asks the host for its handshake through OrvekPORT.dll; exits with the
 * status. */
#include <stdio.h>

#include <OrvekPORT/OrvekPORT.h>

int main(void) {
  char result[64];
  uint32_t status = OrvekGPSPort_GetString("0", sizeof result, result);
  printf("interface %u, query 0: status %u", (unsigned)OrvekGPSPort_Version(),
         (unsigned)status);
  if (status == ORVEKPORT_OK) printf(", result %s", result);
  printf("\n");
  return (int)status;
}
