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

static int TextIs(AVS_Video_stream* s, const char* expected) {
    char text[64] = {0};
    s->Control(s, 0, AVS_GetStatusText, (uintptr_t)text);
    return strcmp(text, expected) == 0;
}

static void Close(AVS_Video_stream* s) {
    s->Done(s);
    CHECK(s->Private == NULL);
    s->Free(s); /* a second teardown does nothing */
    CHECK(s->Feed(s, (const uint8_t*)"\0\0\1\xB1", 4) == 0);
    CHECK(s->Feed(s, NULL, 0) == 0);
    CHECK(s->Control(s, 0, AVS_GetStatusAndDelivery, 0) == 0);
    free(s);
}

static void OpenedStream(void) {
    AVS_Video_stream* s = open_AVS_Video_stream();
    CHECK(s != NULL);
    if (!s) return;
    CHECK(Query(s, AVS_GetOutputFourcc) == AVS_FOURCC_YV12);
    CHECK(Query(s, AVS_GetStatusWord) == 0);
    CHECK(Query(s, AVS_GetDeliveryFlag) == 0);
    CHECK(Query(s, AVS_GetFrameSize) == 0);
    CHECK(s->Noop0(s) == 0 && s->Noop1(s, 1, 2, 3) == 0 && s->Noop2(s, 7) == 0);
    CHECK(s->Noop4(s, (void*)0, 5) == 0 && s->Noop6(s) == 0);
    CHECK(s->Unused[0] == NULL && s->Unused[3] == NULL);
    CHECK(s->Control(s, 0, 6, 0) == 0 && s->Control(s, 0, 0x12345, 0) == 0);
    Close(s);
}

/* The first 18 bytes of the stream are its sequence header, without the
 * start code that completes it. */
static void SequenceHeader(const uint8_t* stream) {
    AVS_Video_stream* s = open_AVS_Video_stream();
    AVS_SequenceInfo a, b;
    uint32_t bgr3 = AVS_FOURCC_BGR3, size;
    if (!s) return;
    CHECK(s->Feed(s, stream, 18) == 15);
    CHECK(Query(s, AVS_GetStatusWord) == AVS_STATUS_NEED_DATA);
    CHECK(TextIs(s, "Sequence header succesfully read"));
    memset(&a, 0xAA, sizeof a);
    memset(&b, 0x55, sizeof b);
    s->Control(s, 0, AVS_GetSequenceInfo, (uintptr_t)&a);
    s->Control(s, 0, AVS_GetSequenceInfoAlias, (uintptr_t)&b);
    CHECK(memcmp(&a, &b, sizeof a) == 0);
    CHECK(a.profile_id == 0x20 && a.horizontal_size == 176 && a.vertical_size == 144);
    CHECK(a.chroma_format == 1 && a.progressive_sequence == 1);

    s->Control(s, 0, AVS_SetOutputFourcc, (uintptr_t)&bgr3);
    CHECK(Query(s, AVS_GetOutputFourcc) == AVS_FOURCC_BGR3);
    size = Query(s, AVS_GetFrameSize);
    /* The size factor comes with the frame store; until it lands it reads 0. */
    CHECK(size == 6 * 144 * 176 / 2);

    s->Control(s, 0, AVS_ResetDecoder, 0);
    CHECK(Query(s, AVS_GetOutputFourcc) == AVS_FOURCC_YV12);
    s->Control(s, 0, AVS_SetOutputFourcc, (uintptr_t)&bgr3);
    s->Control(s, 0, AVS_ResetDecoderAlias, 0);
    CHECK(Query(s, AVS_GetOutputFourcc) == AVS_FOURCC_YV12);
    s->Control(s, 0, AVS_GetSequenceInfo, (uintptr_t)&b);
    CHECK(memcmp(&a, &b, sizeof a) == 0);
    CHECK(s->Control(s, 0, AVS_GetStatusAndDelivery, 0) == Query(s, AVS_GetStatusWord));
    Close(s);
}

static void StartCodes(void) {
    static const uint8_t bad[] = {0, 0, 1, 0xB4};
    static const uint8_t end[] = {0, 0, 1, 0xB1};
    /* An I picture before any sequence header, closed by a sequence end. */
    static const uint8_t early[] = {0, 0, 1, 0xB3, 0xFF, 0xFF, 0, 0x6A, 0x80, 0x40, 0, 0, 1, 0xB1};
    AVS_Video_stream* s = open_AVS_Video_stream();
    if (!s) return;
    CHECK(s->Feed(s, bad, 4) == 4);
    CHECK(Query(s, AVS_GetStatusWord) == AVS_STATUS_BAD_START_CODE);
    CHECK(TextIs(s, "Wrong stream: can't find startcode"));
    CHECK(s->Feed(s, end, 4) == 4);
    CHECK(TextIs(s, "User data saccesfully read"));
    /* Feed returns right after the picture, before the sequence end. */
    CHECK(s->Feed(s, early, sizeof early) == sizeof early - 4);
    CHECK(Query(s, AVS_GetStatusWord) == AVS_STATUS_NO_SEQUENCE);
    CHECK(TextIs(s, "No sequence header exists"));
    CHECK(s->Feed(s, NULL, 0) == 0);
    CHECK(Query(s, AVS_GetStatusWord) == AVS_STATUS_SEQUENCE_END);
    Close(s);
}

int main(void) {
    uint8_t stream[18];
    FILE* f = fopen(AVSDEC_TEST_DATA_DIR "/i_qcif_q20.avs", "rb");
    if (!f || fread(stream, 1, sizeof stream, f) != sizeof stream) {
        fprintf(stderr, "no test stream: skipped\n");
        return 77;
    }
    fclose(f);
    OpenedStream();
    SequenceHeader(stream);
    StartCodes();
    if (failures) fprintf(stderr, "%d checks failed\n", failures);
    return failures ? 1 : 0;
}
