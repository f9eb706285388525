/* A host written in C: it sees only the public header and reaches the
 * library only through open_AVS_Video_stream, as a player would. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "avsdec.h"

static int failures;

#define CHECK(cond)                                                            \
    do {                                                                       \
        if (!(cond)) {                                                         \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
            failures++;                                                        \
        }                                                                      \
    } while (0)

static uint32_t Query(AVS_Video_stream* s, uint32_t code) {
    uint32_t v = 0xDEADBEEFu;
    s->Control(s, 0, code, (uintptr_t)&v);
    return v;
}

static void Text(AVS_Video_stream* s, char* text) {
    memset(text, 0, 64);
    s->Control(s, 0, AVS_GetStatusText, (uintptr_t)text);
}

static uint32_t Feed(AVS_Video_stream* s, const uint8_t* data, uint32_t n) {
    return s->Feed(s, data, n);
}

static unsigned char* ReadStream(const char* path, long* size) {
    FILE* f = fopen(path, "rb");
    unsigned char* data;
    if (!f) return NULL;
    fseek(f, 0, SEEK_END);
    *size = ftell(f);
    fseek(f, 0, SEEK_SET);
    data = malloc((size_t)*size);
    if (data && fread(data, 1, (size_t)*size, f) != (size_t)*size) {
        free(data);
        data = NULL;
    }
    fclose(f);
    return data;
}

/* The sequence header of i_qcif_q20 ends where its I picture's start code begins. */
static long SequenceHeaderLength(const unsigned char* d, long n) {
    long i;
    for (i = 4; i + 3 < n; i++)
        if (d[i] == 0 && d[i + 1] == 0 && d[i + 2] == 1 && d[i + 3] == 0xB3) return i;
    return 0;
}

static void OpenedStream(void) {
    AVS_Video_stream* s = open_AVS_Video_stream();
    CHECK(s != NULL);
    if (!s) return;
    CHECK(Query(s, AVS_GetOutputFourcc) == AVS_FOURCC_YV12);
    CHECK(Query(s, AVS_GetStatusWord) == 0);
    CHECK(Query(s, AVS_GetDeliveryFlag) == 0);
    CHECK(Query(s, AVS_GetFrameSize) == 0);
    /* The no-op slots take anything and return 0. */
    CHECK(s->Noop0(s) == 0);
    CHECK(s->Noop1(s, 1, 2, 3) == 0);
    CHECK(s->Noop2(s, 7) == 0);
    CHECK(s->Noop4(s, (void*)0, 5) == 0);
    CHECK(s->Noop6(s) == 0);
    CHECK(s->Unused[0] == NULL && s->Unused[3] == NULL);
    CHECK(s->Control(s, 0, 6, 0) == 0);
    CHECK(s->Control(s, 0, 0x12345, 0) == 0);
    s->Done(s);
    CHECK(s->Private == NULL);
    s->Free(s);
    CHECK(Feed(s, (const uint8_t*)"\0\0\1\xB0", 4) == 0);
    CHECK(Feed(s, NULL, 0) == 0);
    CHECK(s->Control(s, 0, AVS_GetStatusWord, 0) == 0); /* after teardown: nothing */
    free(s);
}

static void SequenceHeaderQueries(const unsigned char* d, long n) {
    AVS_Video_stream* s = open_AVS_Video_stream();
    AVS_SequenceInfo a, b;
    char text[64];
    uint32_t bgr3 = AVS_FOURCC_BGR3, w, h, size;
    const long seqLength = SequenceHeaderLength(d, n);
    CHECK(seqLength >= 18);
    if (!s || seqLength < 18) return;

    /* The unit is not complete yet, but its fields are already known. */
    CHECK(Feed(s, d, (uint32_t)seqLength) == (uint32_t)seqLength - 3);
    CHECK(Query(s, AVS_GetStatusWord) == AVS_STATUS_NEED_DATA);
    Text(s, text);
    CHECK(strcmp(text, "Sequence header succesfully read") == 0);
    memset(&a, 0xAA, sizeof a);
    memset(&b, 0x55, sizeof b);
    s->Control(s, 0, AVS_GetSequenceInfo, (uintptr_t)&a);
    s->Control(s, 0, AVS_GetSequenceInfoAlias, (uintptr_t)&b);
    CHECK(memcmp(&a, &b, sizeof a) == 0);
    CHECK(a.horizontal_size == 176 && a.vertical_size == 144);
    CHECK(a.profile_id == 0x20 && a.chroma_format == 1 && a.progressive_sequence == 1);
    w = a.horizontal_size;
    h = a.vertical_size;

    s->Control(s, 0, AVS_SetOutputFourcc, (uintptr_t)&bgr3);
    CHECK(Query(s, AVS_GetOutputFourcc) == AVS_FOURCC_BGR3);
    size = Query(s, AVS_GetFrameSize);
    /* The size factor arrives with the frame store; until then it reads 0. */
    CHECK(size == 6 * h * w / 2 || size == 0);
    if (size == 0) fprintf(stderr, "note: frame size factor not available yet\n");

    s->Control(s, 0, AVS_ResetDecoder, 0);
    CHECK(Query(s, AVS_GetOutputFourcc) == AVS_FOURCC_YV12);
    s->Control(s, 0, AVS_SetOutputFourcc, (uintptr_t)&bgr3);
    s->Control(s, 0, AVS_ResetDecoderAlias, 0);
    CHECK(Query(s, AVS_GetOutputFourcc) == AVS_FOURCC_YV12);
    s->Control(s, 0, AVS_GetSequenceInfo, (uintptr_t)&b);
    CHECK(memcmp(&a, &b, sizeof a) == 0);

    /* Request 0x10003 reads the status word when nothing was delivered. */
    CHECK(s->Control(s, 0, AVS_GetStatusAndDelivery, 0) == Query(s, AVS_GetStatusWord));
    s->Free(s);
    free(s);
}

static void StartCodes(void) {
    static const uint8_t bad[] = {0, 0, 1, 0xB4};
    static const uint8_t end[] = {0, 0, 1, 0xB1};
    /* An I picture before any sequence header, closed by a sequence end. */
    static const uint8_t early[] = {0,    0,    1,    0xB3, 0xFF, 0xFF, 0x00,
                                    0x6A, 0x80, 0x40, 0,    0,    1,    0xB1};
    AVS_Video_stream* s = open_AVS_Video_stream();
    char text[64];
    if (!s) return;

    CHECK(Feed(s, bad, 4) == 4);
    CHECK(Query(s, AVS_GetStatusWord) == AVS_STATUS_BAD_START_CODE);
    Text(s, text);
    CHECK(strcmp(text, "Wrong stream: can't find startcode") == 0);

    CHECK(Feed(s, end, 4) == 4);
    Text(s, text);
    CHECK(strcmp(text, "User data saccesfully read") == 0);

    /* Feed returns right after the picture, before the sequence end. */
    CHECK(Feed(s, early, sizeof early) == sizeof early - 4);
    CHECK(Query(s, AVS_GetStatusWord) == AVS_STATUS_NO_SEQUENCE);
    Text(s, text);
    CHECK(strcmp(text, "No sequence header exists") == 0);

    s->Done(s);
    s->Free(s);
    CHECK(Feed(s, end, 4) == 0);
    free(s);
}

int main(void) {
    long n = 0;
    unsigned char* d = ReadStream(AVSDEC_TEST_DATA_DIR "/i_qcif_q20.avs", &n);
    if (!d) {
        fprintf(stderr, "no test stream: skipped\n");
        return 77;
    }
    OpenedStream();
    SequenceHeaderQueries(d, n);
    StartCodes();
    free(d);
    if (failures) fprintf(stderr, "%d checks failed\n", failures);
    return failures ? 1 : 0;
}
