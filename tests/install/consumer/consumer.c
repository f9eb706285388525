/* A program built against the installed avsdec only: it decodes the first
 * unit of the sample stream given as its argument and checks the picture
 * size the library reports. */
#include <stdio.h>
#include <stdlib.h>

#include <avsdec.h>

int main(int argc, char** argv) {
    uint8_t bytes[4096];
    AVS_SequenceInfo info = {0};
    AVS_Video_stream* s;
    size_t n;
    FILE* f = argc > 1 ? fopen(argv[1], "rb") : NULL;
    if (!f) return 2;
    n = fread(bytes, 1, sizeof bytes, f);
    fclose(f);
    s = open_AVS_Video_stream();
    if (!s) return 3;
    s->Feed(s, bytes, (uint32_t)n);
    s->Control(s, 0, AVS_GetSequenceInfo, (uintptr_t)&info);
    s->Free(s);
    free(s);
    printf("consumer: %ux%u\n", info.horizontal_size, info.vertical_size);
    return info.horizontal_size == 176 && info.vertical_size == 144 ? 0 : 1;
}
