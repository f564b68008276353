/* holdfile FILE [RELEASE]: opens FILE sharing nothing with anyone, as a
   program that keeps its data file locked does, prints "held" and keeps it
   until the file RELEASE exists (without one: until standard input ends). */
#include <stdio.h>
#include <windows.h>

int wmain(int argc, wchar_t **argv)
{
    if (argc < 2) {
        fputs("usage: holdfile FILE [RELEASE]\n", stderr);
        return 2;
    }
    HANDLE h = CreateFileW(argv[1], GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "holdfile: cannot open the file: error %lu\n", GetLastError());
        return 1;
    }
    puts("held");
    fflush(stdout);
    if (argc > 2) {
        while (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES)
            Sleep(50);
    } else {
        while (getchar() != EOF) {
        }
    }
    CloseHandle(h);
    return 0;
}
