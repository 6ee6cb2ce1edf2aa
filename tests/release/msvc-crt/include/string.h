/* msvcrt.dll's string functions, for the release test's "cl". */
#ifndef ORVEK_RELEASE_STRING_H
#define ORVEK_RELEASE_STRING_H

#include <stddef.h>

__declspec(dllimport) int __cdecl strcmp(const char* left, const char* right);
__declspec(dllimport) size_t __cdecl strlen(const char* text);

#endif
