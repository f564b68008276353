/* A shared library that must never be run by the installer: its constructor
 * leaves a marker file at the path in TVO_TEST_MARKER. It offers the unrar
 * library's four entry points, so nothing but the loader's own check keeps
 * it from being used once it sits where the installer wrote its library. */
#include <stdio.h>
#include <stdlib.h>

__attribute__((constructor)) static void leaveMarker(void)
{
    const char *path = getenv("TVO_TEST_MARKER");
    FILE *f = path && *path ? fopen(path, "w") : NULL;
    if (f) {
        fputs("loaded\n", f);
        fclose(f);
    }
}

void *RAROpenArchive(void *data) { (void)data; return NULL; }
int RARCloseArchive(void *handle) { (void)handle; return 0; }
int RARReadHeader(void *handle, void *header) { (void)handle; (void)header; return 10; }
int RARProcessFile(void *handle, int op, char *path, char *name) { (void)handle; (void)op; (void)path; (void)name; return 0; }
