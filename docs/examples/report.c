/* Writes the text report of an NMS symbol database to standard output through libsymdeck:
 * the same bytes as `symdeck DATABASE -o -`.
 *
 *   cc report.c $(pkg-config --cflags --libs symdeck) -o report
 *   ./report app.nms > app.txt
 *
 * A database that cannot be read, or a render that fails, gives a message on standard
 * error and exit status 2. A damaged database is no failure: its report ends with the
 * line that says where the walk stopped, as the program's does. */
#include <stdio.h>
#include <stdlib.h>

#include <symdeck.h>

/* The write function: each block of the report as it comes. */
static int to_stdout(void* context, const uint8_t* data, size_t size) {
    return fwrite(data, 1, size, (FILE*)context) == size;
}

/* The whole file at `path` in memory, its size in *size; null when it cannot be read. */
static uint8_t* read_file(const char* path, size_t* size) {
    FILE* file = fopen(path, "rb");
    if (!file) return NULL;
    size_t capacity = 1 << 16, used = 0;
    uint8_t* data = malloc(capacity);
    while (data) {
        used += fread(data + used, 1, capacity - used, file);
        if (used < capacity) break;
        uint8_t* larger = realloc(data, capacity * 2);
        if (!larger) {
            free(data);
            data = NULL;
            break;
        }
        data = larger;
        capacity *= 2;
    }
    if (data && ferror(file)) {
        free(data);
        data = NULL;
    }
    fclose(file);
    *size = used;
    return data;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s DATABASE.nms\n", argv[0]);
        return 2;
    }
    if (symdeck_api_version() < SYMDECK_API_VERSION) {
        fprintf(stderr, "report: libsymdeck has interface version %u, this program wants %d\n",
                (unsigned)symdeck_api_version(), SYMDECK_API_VERSION);
        return 2;
    }
    size_t size = 0;
    uint8_t* data = read_file(argv[1], &size);
    if (!data) {
        perror(argv[1]);
        return 2;
    }
    int32_t end = symdeck_render_to(data, size, SYMDECK_FORM_TEXT, 0, NULL, 0, NULL, 0, to_stdout, stdout);
    free(data);
    if (fflush(stdout) != 0 || end < 0) {
        fprintf(stderr, "report: %s: %s\n", argv[1],
                end < 0 ? symdeck_error_message(end) : "standard output could not be written");
        return 2;
    }
    return 0;
}
