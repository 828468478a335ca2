/* Paces ALSA capture to real time for tests under Wine.
 *
 * Loaded with LD_PRELOAD by tools/wine-run --capture. ALSA's "null" device
 * hands out capture frames as fast as they are asked for, and the "file"
 * plugin in front of it refuses a read larger than its own buffer, which is
 * what Wine asks for (its buffer is bigger than ALSA's). Here every capture
 * read is cut to what real time has produced since the stream began to be
 * read, and never beyond the ALSA buffer, so the file plugin reads its
 * input file in order and at the rate a sound card would.
 *
 * A stream that was not read for a while was stopped: its clock restarts,
 * so a restart does not receive (and Wine does not discard) a burst.
 *
 * With CX_CAPTURE_STALL_FIRST set, the first capture stream that is read
 * delivers nothing until it is closed: a device that does not start. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>
#include <stdlib.h>
#include <sys/types.h>
#include <time.h>

typedef struct _snd_pcm snd_pcm_t;
typedef struct _snd_pcm_hw_params snd_pcm_hw_params_t;
typedef unsigned long snd_pcm_uframes_t;
typedef long snd_pcm_sframes_t;

enum { kCaptureStream = 1, kStreams = 16 };
static const double kIdleRestart = 0.1; /* seconds without a read */

extern int snd_pcm_stream(snd_pcm_t *pcm);
extern int snd_pcm_get_params(snd_pcm_t *pcm, snd_pcm_uframes_t *buffer, snd_pcm_uframes_t *period);
extern size_t snd_pcm_hw_params_sizeof(void);
extern int snd_pcm_hw_params_current(snd_pcm_t *pcm, snd_pcm_hw_params_t *params);
extern int snd_pcm_hw_params_get_rate(const snd_pcm_hw_params_t *params, unsigned int *rate, int *dir);

struct Pace {
  snd_pcm_t *pcm;
  double start;      /* when the stream's clock began */
  double lastRead;
  unsigned long delivered;
};

static struct Pace gPaces[kStreams];
static pthread_mutex_t gLock = PTHREAD_MUTEX_INITIALIZER;
static snd_pcm_t *gStalled;  /* the stream that delivers nothing */
static int gStallPending = -1;  /* -1: the environment not read yet */

/* Whether this stream is the one that delivers nothing. */
static int Stalled(snd_pcm_t *pcm) {
  pthread_mutex_lock(&gLock);
  if (gStallPending < 0) gStallPending = getenv("CX_CAPTURE_STALL_FIRST") != NULL;
  if (gStallPending && gStalled == NULL) {
    gStalled = pcm;
    gStallPending = 0;
  }
  const int stalled = pcm == gStalled;
  pthread_mutex_unlock(&gLock);
  return stalled;
}

static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

static unsigned int RateOf(snd_pcm_t *pcm) {
  snd_pcm_hw_params_t *params = calloc(1, snd_pcm_hw_params_sizeof());
  unsigned int rate = 0;
  int dir = 0;
  if (params != NULL && snd_pcm_hw_params_current(pcm, params) == 0) snd_pcm_hw_params_get_rate(params, &rate, &dir);
  free(params);
  return rate;
}

static struct Pace *PaceOf(snd_pcm_t *pcm, double now) {
  struct Pace *free_slot = NULL;
  for (int i = 0; i < kStreams; ++i) {
    if (gPaces[i].pcm == pcm) return &gPaces[i];
    if (gPaces[i].pcm == NULL && free_slot == NULL) free_slot = &gPaces[i];
  }
  if (free_slot == NULL) return NULL;
  free_slot->pcm = pcm;
  free_slot->start = now;
  free_slot->lastRead = now;
  free_slot->delivered = 0;
  return free_slot;
}

/* How many frames this read may take: zero means "not yet". */
static snd_pcm_uframes_t Allowed(snd_pcm_t *pcm, snd_pcm_uframes_t asked) {
  snd_pcm_uframes_t buffer = 0, period = 0;
  unsigned int rate = RateOf(pcm);
  if (rate == 0 || snd_pcm_get_params(pcm, &buffer, &period) != 0 || buffer == 0) return asked;
  const double now = Now();
  pthread_mutex_lock(&gLock);
  struct Pace *pace = PaceOf(pcm, now);
  snd_pcm_uframes_t allowed = asked;
  if (pace != NULL) {
    if (now - pace->lastRead > kIdleRestart) {
      pace->start = now;
      pace->delivered = 0;
    }
    pace->lastRead = now;
    double due = (now - pace->start) * rate - (double)pace->delivered;
    if (due < 0) due = 0;
    if (due > buffer) due = buffer;
    if (allowed > (snd_pcm_uframes_t)due) allowed = (snd_pcm_uframes_t)due;
  }
  if (allowed > buffer) allowed = buffer;
  pthread_mutex_unlock(&gLock);
  return allowed;
}

static void Delivered(snd_pcm_t *pcm, snd_pcm_sframes_t frames) {
  if (frames <= 0) return;
  pthread_mutex_lock(&gLock);
  for (int i = 0; i < kStreams; ++i) {
    if (gPaces[i].pcm == pcm) gPaces[i].delivered += (unsigned long)frames;
  }
  pthread_mutex_unlock(&gLock);
}

snd_pcm_sframes_t snd_pcm_readi(snd_pcm_t *pcm, void *buffer, snd_pcm_uframes_t size) {
  static snd_pcm_sframes_t (*real)(snd_pcm_t *, void *, snd_pcm_uframes_t);
  if (real == NULL) real = (snd_pcm_sframes_t (*)(snd_pcm_t *, void *, snd_pcm_uframes_t))dlsym(RTLD_NEXT, "snd_pcm_readi");
  if (real == NULL) return -ENOSYS;
  if (snd_pcm_stream(pcm) != kCaptureStream || size == 0) return real(pcm, buffer, size);
  if (Stalled(pcm)) return -EAGAIN;
  const snd_pcm_uframes_t allowed = Allowed(pcm, size);
  if (allowed == 0) return -EAGAIN;
  const snd_pcm_sframes_t got = real(pcm, buffer, allowed);
  Delivered(pcm, got);
  return got;
}

int snd_pcm_close(snd_pcm_t *pcm) {
  static int (*real)(snd_pcm_t *);
  if (real == NULL) real = (int (*)(snd_pcm_t *))dlsym(RTLD_NEXT, "snd_pcm_close");
  pthread_mutex_lock(&gLock);
  for (int i = 0; i < kStreams; ++i) {
    if (gPaces[i].pcm == pcm) gPaces[i].pcm = NULL;
  }
  if (pcm == gStalled) gStalled = NULL;
  pthread_mutex_unlock(&gLock);
  return real != NULL ? real(pcm) : -ENOSYS;
}
