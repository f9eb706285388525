/* What the README's C example expects from its host, and what it gives. */
#ifndef AVSDEC_README_HOST_H
#define AVSDEC_README_HOST_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The host's use of one delivered picture: YV12, `bytes` long. */
void use(const uint8_t* picture, uint32_t bytes);
/* The example's entry point: decodes a whole stream held in memory. */
int decode(const uint8_t* data, uint32_t size);

#ifdef __cplusplus
}
#endif

#endif
