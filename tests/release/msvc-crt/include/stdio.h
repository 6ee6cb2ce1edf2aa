/* Visual Studio's C runtime stands in here by msvcrt.dll: what the release
 * test's "cl" gives a program, declared as msvcrt's own headers did. */
#ifndef ORVEK_RELEASE_STDIO_H
#define ORVEK_RELEASE_STDIO_H

#include <stddef.h>

typedef struct _iobuf {
  char* _ptr;
  int _cnt;
  char* _base;
  int _flag;
  int _file;
  int _charbuf;
  int _bufsiz;
  char* _tmpfname;
} FILE;

__declspec(dllimport) FILE* __cdecl __iob_func(void);
#define stdout (&__iob_func()[1])
#define stderr (&__iob_func()[2])

__declspec(dllimport) int __cdecl printf(const char* format, ...);
__declspec(dllimport) int __cdecl fprintf(FILE* stream, const char* format,
                                          ...);
__declspec(dllimport) int __cdecl puts(const char* text);

#endif
