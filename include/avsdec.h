/*
 * avsdec: decoder for AVS video (GB/T 20090.2, Jizhun profile, 4:2:0, 8-bit).
 *
 * A host opens a stream with open_AVS_Video_stream() and drives it through
 * the operations stored in the returned record:
 *
 *     AVS_Video_stream* s = open_AVS_Video_stream();
 *     uint32_t taken = s->Feed(s, bytes, count);   // re-present bytes not taken
 *     if (s->Control(s, 0, AVS_GetStatusAndDelivery, 0) & AVS_DELIVERED)
 *         s->Control(s, 0, AVS_ConvertPicture, (uintptr_t)frame_memory);
 *     s->Free(s);
 *     free(s);                                      // the record came from malloc
 *
 * Pictures come back in display order. Every word of the record is
 * pointer-sized; word i sits at byte offset i * sizeof(void*).
 *
 * Feeding. Feed takes whole units: a unit is complete when the start code of
 * the next one has arrived. Offer the bytes it did not take again, followed by
 * more. With nothing held, fewer than four bytes are never taken (they cannot
 * hold a start code): keep them for the next piece. When four or more bytes
 * are offered and nothing is taken twice in a row, the decoder holds a unit
 * it can never finish (longer than its 8 MB); the end-of-stream call and
 * AVS_ResetDecoder let feeding go on.
 *
 * End of stream. Feed(s, NULL, 0) decodes a sequence end: it delivers the
 * newest reference picture, if any, but not the unit still held, which no
 * start code has completed. So a stream that does not end with a sequence end
 * (00 00 01 B1) should get those four bytes fed first, or its last picture is
 * never decoded. A sequence end (in the stream or this call) delivers the newest
 * reference picture even when it was delivered before: a host that took no
 * picture unit since the previous sequence end gets the same picture again.
 * A second end-of-stream call does nothing; feeding may go on afterwards.
 * README.md ("Ending a stream") has a host loop that follows these rules.
 *
 * Buffers. AVS_ConvertPicture writes at most AVS_GetFrameSize bytes.
 * A descriptor (AVS_ConvertPictureTo) must ask for no more columns or rows
 * than the picture has, and every plane it uses must be non-NULL with a pitch
 * of at least one row's bytes; otherwise nothing is written. Conversions
 * convert nothing while no picture is held (before the first delivery, and
 * after AVS_SetPictureBuffer until the next one).
 */
#ifndef AVSDEC_H
#define AVSDEC_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define AVSDEC_CALL __cdecl
#if defined(AVSDEC_BUILDING)
#define AVSDEC_API __declspec(dllexport)
#else
#define AVSDEC_API __declspec(dllimport)
#endif
#else
#define AVSDEC_CALL
#define AVSDEC_API __attribute__((visibility("default")))
#endif

typedef struct AVS_Video_stream AVS_Video_stream;

/* Slots 0, 1, 2, 4 and 6: accept any arguments, do nothing, return 0. */
typedef uint32_t(AVSDEC_CALL* AVS_NoopOp)(AVS_Video_stream* stream, ...);
/* Takes up to `length` bytes; returns how many were taken (0xFFFFFFFF on a failed
 * decode). data == NULL flushes: delivers the newest I or P picture (again, after
 * a sequence end) and leaves the bytes still held undecoded. */
typedef uint32_t(AVSDEC_CALL* AVS_FeedOp)(AVS_Video_stream* stream, const uint8_t* data,
                                          uint32_t length);
/* Runs request `code` (AVS_Request) with `argument`; returns 0 except for
 * AVS_GetStatusAndDelivery. Does nothing after Done or Free. */
typedef uint32_t(AVSDEC_CALL* AVS_ControlOp)(AVS_Video_stream* stream, uintptr_t reserved,
                                             uint32_t code, uintptr_t argument);
/* Releases the decoder; the record itself stays valid with Private == NULL, so
 * Done then Free is safe. The record comes from malloc: the host frees it. */
typedef void(AVSDEC_CALL* AVS_TeardownOp)(AVS_Video_stream* stream);

/* The stream record: fourteen pointer-sized slots. */
struct AVS_Video_stream {
    AVS_NoopOp Noop0;      /* 0: no-op */
    AVS_NoopOp Noop1;      /* 1: no-op */
    AVS_NoopOp Noop2;      /* 2: no-op */
    AVS_FeedOp Feed;       /* 3: push stream bytes */
    AVS_NoopOp Noop4;      /* 4: no-op */
    AVS_ControlOp Control; /* 5: control and query requests */
    AVS_NoopOp Noop6;      /* 6: no-op */
    AVS_TeardownOp Done;   /* 7: tear down (same as Free) */
    AVS_TeardownOp Free;   /* 8: tear down */
    void* Unused[4];       /* 9..12: always 0 */
    void* Private;         /* 13: the stream's private record; NULL after teardown */
};

/* Host output descriptor for AVS_ConvertPictureTo: eleven pointer-sized words. */
typedef struct OutputPicture {
    uintptr_t width;   /* 0: picture width in pixels */
    uintptr_t height;  /* 1: picture height in rows */
    uintptr_t fourcc;  /* 2: output layout (AVS_FOURCC_*) */
    uintptr_t unused3; /* 3: not read */
    uint8_t* plane[3]; /* 4..6: plane 0; for YV12 plane 1 is V (Cr) and plane 2 is U (Cb) */
    uintptr_t unused7; /* 7: not read */
    intptr_t pitch[3]; /* 8..10: bytes from one row to the next; BGR: positive = bottom-up */
} OutputPicture;

/* The thirteen sequence fields that AVS_GetSequenceInfo writes, in order. */
typedef struct AVS_SequenceInfo {
    uint32_t profile_id;
    uint32_t level_id;
    uint32_t progressive_sequence;
    uint32_t horizontal_size;
    uint32_t vertical_size;
    uint32_t chroma_format;
    uint32_t sample_precision;
    uint32_t aspect_ratio;
    uint32_t frame_rate_code;
    uint32_t bit_rate_lower;
    uint32_t bit_rate_upper;
    uint32_t low_delay;
    uint32_t bbv_buffer_size;
} AVS_SequenceInfo;

/* Request codes for Control. Queries write a 32-bit word at `argument`. */
enum AVS_Request {
    AVS_ConvertPicture = 1,       /* convert the last picture into memory at argument */
    AVS_GetStatusText = 2,        /* copy the status text (at most 35 bytes) */
    AVS_GetStatusWord = 3,        /* status word (AVS_STATUS_*) */
    AVS_GetDeliveryFlag = 4,      /* AVS_DELIVERED after a delivery, else 0 */
    AVS_GetFrameSize = 5,         /* bytes AVS_ConvertPicture writes with the current layout and
                                     pitch: |pitch| x height, for YV12 plus the V and U planes
                                     (|pitch| x height / 4 each) after them; 0 when the pitch
                                     cannot hold a row */
    AVS_GetOutputFourcc = 7,      /* the output layout */
    AVS_GetAspectRatio = 8,       /* aspect_ratio of the sequence header */
    AVS_SetPictureBuffer = 0x101, /* argument is the buffer itself: from malloc, at least
                                     horizontal_size x vertical_size x 2 bytes of the current
                                     sequence (0 before any sequence header). The decoder frees
                                     it, delivers into it from the next picture on, and takes a
                                     buffer of its own for a larger picture */
    AVS_SetOutputPitch = 0x106,   /* 32-bit signed pitch at argument, for AVS_ConvertPicture;
                                     0: the default of the current layout and width (YV12 width,
                                     YUY2/UYVY 2 x width, BGR3/BGR4 -3/-4 x width: top-down) */
    AVS_SetOutputFourcc = 0x107,  /* 32-bit FourCC at argument */
    /* 32-bit count at argument: the threads each picture is decoded on. 0 and
     * 1 decode on the thread that calls Feed alone; N > 1 adds N - 1 worker
     * threads of the stream's own (at most 63), started with the next picture
     * and ended by Done or Free. Pictures are the same for every count. Set it
     * before the first Feed; a later change applies from the next picture. */
    AVS_SetDecodingThreads = 0x108,
    AVS_ResetDecoder = 0x201,           /* drop held data and pictures; keeps the sequence header */
    AVS_GetStatusAndDelivery = 0x10003, /* returns delivery flag | status word; writes nothing */
    AVS_GetSequenceInfo = 0x10004,      /* 13 words (AVS_SequenceInfo) at argument */
    AVS_ConvertPictureTo = 0x10007,     /* convert into the OutputPicture at argument */
    AVS_ResetDecoderAlias = 0x1000C,    /* same as AVS_ResetDecoder */
    AVS_GetSequenceInfoAlias = 0x10014  /* same as AVS_GetSequenceInfo */
};

/* Status words (AVS_GetStatusWord). */
#define AVS_STATUS_IDLE 0u                    /* nothing pending; also after a decoded picture */
#define AVS_STATUS_HEADER_READ 1u             /* a unit's header was recognised, unit incomplete */
#define AVS_STATUS_UNIT_HELD 2u               /* a complete unit is held */
#define AVS_STATUS_SEQUENCE_END 4u            /* the end of the sequence was seen */
#define AVS_STATUS_NEED_DATA 8u               /* the last Feed is waiting for more data */
#define AVS_STATUS_B_PICTURE 32u              /* a B picture was decoded and delivered */
#define AVS_STATUS_NO_SEQUENCE 64u            /* a picture arrived before any sequence header */
#define AVS_STATUS_BAD_START_CODE 0x10000000u /* a start code that is not accepted */

/* Delivery flag: a picture is waiting in the picture buffer. */
#define AVS_DELIVERED 0x1000000u

/* FourCC values: first character in the lowest byte. */
#define AVS_FOURCC(a, b, c, d)                                                                 \
    ((uint32_t)(uint8_t)(a) | ((uint32_t)(uint8_t)(b) << 8) | ((uint32_t)(uint8_t)(c) << 16) | \
     ((uint32_t)(uint8_t)(d) << 24))
#define AVS_FOURCC_YV12 AVS_FOURCC('Y', 'V', '1', '2') /* planar Y, V, U */
#define AVS_FOURCC_YUY2 AVS_FOURCC('Y', 'U', 'Y', '2') /* packed Y U Y V */
#define AVS_FOURCC_UYVY AVS_FOURCC('U', 'Y', 'V', 'Y') /* packed U Y V Y */
#define AVS_FOURCC_BGR3 AVS_FOURCC('B', 'G', 'R', '3') /* 24-bit B, G, R */
#define AVS_FOURCC_BGR4 AVS_FOURCC('B', 'G', 'R', '4') /* 32-bit B, G, R, 255 */

/* Creates a stream; NULL when memory could not be had. */
AVSDEC_API AVS_Video_stream* AVSDEC_CALL open_AVS_Video_stream(void);

#ifdef __cplusplus
}
#endif

#endif /* AVSDEC_H */
