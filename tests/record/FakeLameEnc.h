#pragma once

// Controls of the scripted stand-in for liblame_enc.so that the recording tests load in place
// of the real library, to see exactly what the encoder wrapper hands it.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct FakeLameCounts
{
    int inits;
    int encodes;
    int deinits;
    int closes;
} FakeLameCounts;

typedef struct FakeLameScript
{
    uint32_t samplesPerChunk; /* 0: one MPEG-1 frame per channel as the record's mode says */
    uint32_t outputBufferSize;
    uint32_t initResult;
    int failAtEncode;            /* 1-based call that reports an error; 0 = never */
    uint32_t bytesPerEncode;     /* output bytes each encode call produces */
    int encodeDelayMilliseconds; /* a slow encoder */
} FakeLameScript;

void fakeReset(void);
void fakeSetScript(const FakeLameScript* script);
FakeLameCounts fakeCounts(void);
void fakeLastConfig(uint8_t* record331);
/* The first sample of the n-th encoded chunk (0-based), or -1. */
int fakeEncodedFirstSample(int index);
uint32_t fakeLastSampleCount(void);

typedef void (*FakeResetFn)(void);
typedef void (*FakeSetScriptFn)(const FakeLameScript*);
typedef FakeLameCounts (*FakeCountsFn)(void);
typedef void (*FakeLastConfigFn)(uint8_t*);
typedef int (*FakeEncodedFirstSampleFn)(int);
typedef uint32_t (*FakeLastSampleCountFn)(void);

#ifdef __cplusplus
}
#endif
