// Streaming frames and sound to ffmpeg. Both pipes are written without
// blocking from one loop that waits on whichever ffmpeg can take, since
// ffmpeg reads its two inputs at its own pace.
//
// Before it encodes anything, ffmpeg studies its inputs one after the
// other, and for the sound that means reading a whole packet of 1024
// samples before it takes the first frame. The sound of a frame only exists
// once the frame has been drawn (pulling sound moves the song on), so at 60
// frames per second the first frame's 735 samples would leave both sides
// waiting on each other. The sound input therefore starts with a lead-in of
// silence, there from the start, which a sample-exact trim removes again.
//
// ffmpeg 7 runs each input in a thread of its own and pauses an input whose
// output stream is ahead: while one output stream has a packet and the
// other has none yet, only the input of the one without may read, and after
// that an input whose stream is 0.1 s or more ahead of the other waits. So
// the first encoded frame stops the frames until the sound's encoder has
// given a packet, and every later frame does while the encoded sound lags
// 0.1 s behind; the sound that ends the wait must not depend on a frame
// ffmpeg has stopped taking. ffmpeg 7 reads raw sound in pieces of 4096
// samples at 44100 Hz (0.093 s; ffmpeg 5 in pieces of 1024), and FLAC
// chose blocks of 4608 samples, so the master hung whenever ffmpeg encoded
// a frame before the sound of the next five had been sent. Now:
//  - the capture sends a frame's sound before the frame itself, so ffmpeg
//    always has the sound up to the end of the frame it waits for;
//  - the master's FLAC blocks hold at most one frame's sound, so the
//    encoded sound lags that by less than one piece plus one frame, less
//    than the 0.1 s;
//  - the lead-in ends where the first block (for AAC the first two, which
//    its first packet needs) leaves a whole number of pieces, so that the
//    first packet needs no more than that.
// AAC encodes a block only once it has the next, so the MP4's sound lags
// further; its frames lag too, behind the ten and more that the H.264
// encoder holds before its first packet, which covers that up to 500
// frames per second (measured with ffmpeg 7.1). At 1000 it does not, and
// ffmpeg stalls: the capture then ends it (VideoOut's stall_seconds), as it
// does whenever ffmpeg stops taking what it is sent.

#include "video_out.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

extern char** environ;

namespace {

// Sound made but not yet taken by ffmpeg. Once it encodes, that is a frame
// or two; the room is for its start, when it reads video before it opens the
// sound, and for a slow start of its sound input after that.
constexpr size_t kSoundRoom = size_t{8} << 20;  // 95 s at 44100 Hz, 16-bit mono
uint8_t sound_ring[kSoundRoom];
size_t sound_head = 0;  // the next byte to send
size_t sound_size = 0;  // bytes waiting

// The child's ends of the pipes are first moved to descriptors of at least
// this number, so that moving them onto 0 and 3 is always a real dup2 (one
// onto itself would keep close-on-exec, and stdin may be closed, which makes
// 0 the first free descriptor).
constexpr int kHighFd = 10;

// Samples of silence before the sound: this many, far more than ffmpeg's
// first packet, and less than one piece more (video_open works it out).
constexpr int kLeadIn = 8192;
constexpr int kMaxPiece = 8192;
// FLAC's shortest block, and its longest at 48000 Hz and below.
constexpr int kMinFlacBlock = 16;
constexpr int kMaxFlacBlock = 4608;
// The samples AAC's first packet needs: two blocks of 1024.
constexpr int kAacFirstPacket = 2048;
// How long ffmpeg may take after SIGTERM before it gets SIGKILL.
constexpr int kTermGraceMs = 3000;

// What each kind of file is made with.
struct Encoders {
  const char* video;
  const char* sound;
};
constexpr Encoders kMp4Encoders = {"libx264", "aac"};
constexpr Encoders kMasterEncoders = {"ffv1", "flac"};

void close_fd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Writes what the sound pipe takes now, without waiting. Returns 0 when the
// pipe is broken.
int send_sound(VideoOut& v) {
  while (sound_size > 0) {
    const size_t run = sound_size < kSoundRoom - sound_head ? sound_size : kSoundRoom - sound_head;
    const ssize_t w = write(v.audio_fd, sound_ring + sound_head, run);
    if (w < 0) return errno == EAGAIN || errno == EINTR ? 1 : 0;
    sound_head = (sound_head + static_cast<size_t>(w)) % kSoundRoom;
    sound_size -= static_cast<size_t>(w);
  }
  return 1;
}

// Milliseconds on the monotonic clock.
int64_t now_ms() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Writes n bytes of data to the video pipe (n may be 0 when the video pipe
// is closed), sending queued sound whenever its pipe has room; with `drain`
// it also waits until no sound is left. Returns 0 when a pipe breaks, which
// means ffmpeg has stopped reading, or when ffmpeg has taken nothing for
// v.stall_seconds, which `why` then says (it is left empty otherwise).
int pump(VideoOut& v, const uint8_t* data, size_t n, bool drain, char* why, size_t why_size) {
  why[0] = '\0';
  const int64_t stall_ms = int64_t{v.stall_seconds} * 1000;
  int64_t last_taken = now_ms();
  while (n > 0 || (drain && sound_size > 0)) {
    const int64_t left = last_taken + stall_ms - now_ms();
    if (left <= 0) {
      const char* what = n == 0            ? "none of the sound"
                         : sound_size == 0 ? "none of the frames"
                                           : "neither the frames nor the sound";
      std::snprintf(why, why_size, "ffmpeg stalled: it took %s for %d s", what, v.stall_seconds);
      return 0;
    }
    pollfd fds[2] = {{n > 0 ? v.video_fd : -1, POLLOUT, 0},
                     {sound_size > 0 ? v.audio_fd : -1, POLLOUT, 0}};
    if (poll(fds, 2, static_cast<int>(left)) < 0) {
      if (errno == EINTR && !(v.stop && *v.stop)) continue;
      return 0;
    }
    if (fds[0].revents != 0) {
      const ssize_t w = write(v.video_fd, data, n);
      if (w > 0) {
        data += w;
        n -= static_cast<size_t>(w);
        last_taken = now_ms();
      } else if (w < 0 && errno != EAGAIN && errno != EINTR) {
        return 0;
      }
    }
    if (fds[1].revents != 0) {
      const size_t before = sound_size;
      if (!send_sound(v)) return 0;
      if (sound_size != before) last_taken = now_ms();
    }
  }
  return 1;
}

// The size of a file, -1 when it cannot be read.
int64_t file_size(const char* path) {
  struct stat st {};
  return stat(path, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

// Waits for ffmpeg to exit: for ever when `wait_ms` is negative, otherwise
// until it has let that many milliseconds pass without its file `path`
// changing size (when `path` is given) or at all. Returns waitpid's
// result: the pid, 0 when the time ran out, -1 on an error.
pid_t wait_exit(pid_t pid, int& status, int64_t wait_ms, const char* path) {
  int64_t until = now_ms() + wait_ms;
  int64_t size = path ? file_size(path) : -1;
  for (;;) {
    const pid_t got = waitpid(pid, &status, wait_ms < 0 ? 0 : WNOHANG);
    if (got < 0 && errno == EINTR) continue;
    if (got != 0) return got;
    if (path && file_size(path) != size) {
      size = file_size(path);
      until = now_ms() + wait_ms;
    }
    if (now_ms() >= until) return 0;
    poll(nullptr, 0, 10);
  }
}

// Ends a running ffmpeg and its process group for good: its inputs end
// first (an ffmpeg blocked reading one then stops by itself), then SIGTERM,
// and SIGKILL when it has not gone after kTermGraceMs. Reaps it, so that no
// zombie is left, and removes the temporary file.
void end_ffmpeg(VideoOut& v) {
  close_fd(v.video_fd);
  close_fd(v.audio_fd);
  sound_head = sound_size = 0;
  if (v.pid < 0) return;
  kill(-v.pid, SIGTERM);
  int status = 0;
  if (wait_exit(v.pid, status, kTermGraceMs, nullptr) == 0) {
    kill(-v.pid, SIGKILL);
    wait_exit(v.pid, status, -1, nullptr);
  }
  v.pid = -1;
  std::remove(v.temp_path);
}

// Ends both streams, waits for ffmpeg (while it writes its file, but not
// past v.stall_seconds without a byte, after which it is ended) and either
// renames its file to the asked name (`keep` and ffmpeg succeeded) or
// removes it. Returns 1 when the file was kept.
int reap(VideoOut& v, bool keep, char* why, int why_size) {
  const size_t n = static_cast<size_t>(why_size);
  close_fd(v.video_fd);
  close_fd(v.audio_fd);
  sound_head = sound_size = 0;
  int status = 0;
  const pid_t got = wait_exit(v.pid, status, int64_t{v.stall_seconds} * 1000, v.temp_path);
  if (got == 0) {
    end_ffmpeg(v);
    std::snprintf(why, n, "ffmpeg stalled: it wrote nothing for %d s after the end of its input",
                  v.stall_seconds);
    return 0;
  }
  v.pid = -1;
  const bool ok = got > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (ok && keep) {
    if (std::rename(v.temp_path, v.path) == 0) return 1;
    std::snprintf(why, n, "cannot rename %s to %s: %s", v.temp_path, v.path, std::strerror(errno));
  } else if (got > 0 && WIFSIGNALED(status)) {
    std::snprintf(why, n, "ffmpeg was ended by signal %d", WTERMSIG(status));
  } else if (got > 0 && !ok) {
    std::snprintf(why, n, "ffmpeg failed (exit status %d)", WEXITSTATUS(status));
  }
  std::remove(v.temp_path);
  return 0;
}

// What ffmpeg makes of the frames and the sound for each kind of file.
// clang-format off
//
// MP4: veryfast at CRF 18 keeps the encoder well ahead of the software
// rasteriser and still looks like the show; +faststart moves the index to
// the front so that players can start before the whole file has arrived.
// The frames become YCbCr by the BT.709 matrix in limited range at every
// size, as HD video is made, and the stream says so (matrix, range, and
// BT.709 primaries and transfer): untagged, players guess BT.709 for
// anything over 576 lines, while ffmpeg's own default matrix is BT.601.
// The tags are set on the frames by setparams, which the encoder copies
// into the stream: ffmpeg 7 ignores -color_primaries and -color_trc as
// output options, which ffmpeg 5 honoured. setparams changes no pixel.
constexpr const char* kMp4Output[] = {
    "-vf", "scale=out_color_matrix=bt709:out_range=tv:flags=+accurate_rnd+full_chroma_int,"
           "setparams=colorspace=bt709:color_primaries=bt709:color_trc=bt709:range=tv",
    "-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p",
    "-c:a", "aac", "-b:a", "192k",
    "-movflags", "+faststart", "-f", "mp4", nullptr};
// Master: FFV1 version 3 keeps the RGB frames as they are (bgr0 is its own
// RGB layout; the fourth byte is not stored), every frame a key frame so
// that an editor can cut anywhere, in slices with checksums so that damage
// stays local and is detected; FLAC keeps the 16-bit samples, in blocks
// whose length video_open sets. Both are open, documented formats, which is
// what an archive asks of a master.
constexpr const char* kMasterOutput[] = {
    "-c:v", "ffv1", "-level", "3", "-g", "1", "-slices", "4", "-slicecrc", "1", "-pix_fmt", "bgr0",
    "-c:a", "flac",
    "-f", "matroska", nullptr};
// clang-format on

// ffmpeg's list of encoders, as `ffmpeg -encoders` prints it: a legend,
// a line of dashes, then one encoder a line, its flags and its name first.
char encoder_list[1 << 16];

// True when `name` is an encoder of the list.
bool listed(const char* list, const char* name) {
  const char* line = std::strstr(list, "------");
  if (line == nullptr) return false;
  while ((line = std::strchr(line, '\n')) != nullptr) {
    ++line;
    char flags[16], encoder[64];
    if (std::sscanf(line, "%15s %63s", flags, encoder) == 2 && std::strcmp(encoder, name) == 0)
      return true;
  }
  return false;
}

// Asks ffmpeg for its encoders and checks that those of the kind are there.
// Returns 1 when they are; 0 with a reason otherwise.
int check_encoders(const Encoders& needed, const char* what, char* why, size_t n) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) {
    std::snprintf(why, n, "cannot make a pipe: %s", std::strerror(errno));
    return 0;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  const char* args[] = {"ffmpeg", "-hide_banner", "-nostdin", "-encoders", nullptr};
  pid_t pid = -1;
  const int failed =
      posix_spawnp(&pid, "ffmpeg", &actions, nullptr, const_cast<char* const*>(args), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (failed != 0) {
    close(out[0]);
    std::snprintf(why, n, "cannot run ffmpeg: %s%s", std::strerror(failed),
                  failed == ENOENT ? " (install Debian's ffmpeg package)" : "");
    return 0;
  }
  // Read to the end, keeping what fits: the list is a few kilobytes.
  size_t size = 0;
  for (;;) {
    char discard[4096];
    const bool room = size + 1 < sizeof encoder_list;
    const ssize_t got = room ? read(out[0], encoder_list + size, sizeof encoder_list - 1 - size)
                             : read(out[0], discard, sizeof discard);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    if (room) size += static_cast<size_t>(got);
  }
  encoder_list[size] = '\0';
  close(out[0]);
  int status = 0;
  pid_t waited;
  do {
    waited = waitpid(pid, &status, 0);
  } while (waited < 0 && errno == EINTR);
  if (waited != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::snprintf(why, n, "ffmpeg failed to list its encoders");
    return 0;
  }
  for (const char* name : {needed.video, needed.sound}) {
    if (!listed(encoder_list, name)) {
      std::snprintf(why, n, "the installed ffmpeg has no %s encoder, which %s needs", name, what);
      return 0;
    }
  }
  return 1;
}

// The master's FLAC blocks hold at most one frame's sound (see the top).
int flac_block(int rate, int fps) { return std::clamp(rate / fps, kMinFlacBlock, kMaxFlacBlock); }

// Samples of silence before the sound, ending so that the first packet
// completes a piece (see the top). ffmpeg 7 reads a raw input in pieces of
// the largest power of two samples not over a tenth of a second, ffmpeg 5
// in smaller ones that divide those.
int lead_in_samples(VideoKind kind, int rate, int block) {
  int piece = 1;
  while (piece * 2 <= rate / 10 && piece * 2 <= kMaxPiece) piece *= 2;
  const int first_packet = kind == VideoKind::master ? block : kAacFirstPacket;
  return kLeadIn + (piece - first_packet % piece) % piece;
}

// Starts ffmpeg with `args`, the frame pipe's end on its standard input and
// the sound pipe's on descriptor 3. Returns posix_spawnp's result.
int spawn_ffmpeg(const char* const* args, int video_in, int audio_in, pid_t& pid) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, video_in, 0);
  posix_spawn_file_actions_adddup2(&actions, audio_in, 3);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t signals;
  sigemptyset(&signals);
  posix_spawnattr_setsigmask(&attr, &signals);
  sigaddset(&signals, SIGPIPE);
  posix_spawnattr_setsigdefault(&attr, &signals);
  // Its own process group: an interrupt at the terminal reaches only the
  // capture, which then ends ffmpeg and removes the unfinished file.
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  const int failed =
      posix_spawnp(&pid, "ffmpeg", &actions, &attr, const_cast<char* const*>(args), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  return failed;
}

}  // namespace

VideoKind video_kind(const char* path) {
  const char* dot = std::strrchr(path, '.');
  if (dot == nullptr || std::strchr(dot, '/') != nullptr) return VideoKind::unknown;
  if (strcasecmp(dot, ".mp4") == 0) return VideoKind::mp4;
  if (strcasecmp(dot, ".mkv") == 0) return VideoKind::master;
  return VideoKind::unknown;
}

int video_open(VideoOut& v, const char* path, int width, int height, int fps, int rate, char* why,
               int why_size) {
  const size_t n = static_cast<size_t>(why_size);
  const VideoKind kind = video_kind(path);
  if (kind == VideoKind::unknown) {
    std::snprintf(why, n, "the video's name must end in .mp4 or .mkv");
    return 0;
  }
  if (std::snprintf(v.path, sizeof v.path, "%s", path) >= static_cast<int>(sizeof v.path) ||
      std::snprintf(v.temp_path, sizeof v.temp_path, "%s.%ld.part", path,
                    static_cast<long>(getpid())) >= static_cast<int>(sizeof v.temp_path)) {
    std::snprintf(why, n, "the file name is too long");
    return 0;
  }
  if (kind == VideoKind::mp4 ? !check_encoders(kMp4Encoders, "an MP4 video", why, n)
                             : !check_encoders(kMasterEncoders, "a lossless master", why, n))
    return 0;
  v.frame_bytes = static_cast<size_t>(width) * height * 3;
  sound_head = sound_size = 0;

  // A broken pipe is an error from write(), not the end of this process.
  signal(SIGPIPE, SIG_IGN);

  int video[2], audio[2];
  if (pipe2(video, O_CLOEXEC) != 0) {
    std::snprintf(why, n, "cannot make a pipe: %s", std::strerror(errno));
    return 0;
  }
  if (pipe2(audio, O_CLOEXEC) != 0) {
    std::snprintf(why, n, "cannot make a pipe: %s", std::strerror(errno));
    close(video[0]);
    close(video[1]);
    return 0;
  }
  const int video_in = fcntl(video[0], F_DUPFD_CLOEXEC, kHighFd);
  const int audio_in = fcntl(audio[0], F_DUPFD_CLOEXEC, kHighFd);
  close(video[0]);
  close(audio[0]);

  const int block = flac_block(rate, fps);
  const int lead_in = lead_in_samples(kind, rate, block);
  char size[32], frame_rate[16], sample_rate[16], trim[64], block_size[16];
  std::snprintf(size, sizeof size, "%dx%d", width, height);
  std::snprintf(frame_rate, sizeof frame_rate, "%d", fps);
  std::snprintf(sample_rate, sizeof sample_rate, "%d", rate);
  std::snprintf(trim, sizeof trim, "atrim=start_sample=%d,asetpts=PTS-STARTPTS", lead_in);
  std::snprintf(block_size, sizeof block_size, "%d", block);
  // clang-format off
  const char* inputs[] = {"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y",
                          "-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size", size,
                          "-framerate", frame_rate, "-thread_queue_size", "64", "-i", "pipe:0",
                          "-f", "s16le", "-ar", sample_rate, "-ac", "1", "-probesize", "32",
                          "-analyzeduration", "0", "-thread_queue_size", "64", "-i", "pipe:3",
                          "-map", "0:v", "-map", "1:a", "-af", trim};
  // clang-format on
  const char* args[std::size(inputs) + std::size(kMp4Output) + std::size(kMasterOutput) + 4];
  size_t count = 0;
  for (const char* arg : inputs) args[count++] = arg;
  for (const char* const* arg = kind == VideoKind::mp4 ? kMp4Output : kMasterOutput; *arg; ++arg)
    args[count++] = *arg;
  if (kind == VideoKind::master) {
    args[count++] = "-frame_size";
    args[count++] = block_size;
  }
  args[count++] = v.temp_path;
  args[count] = nullptr;

  pid_t pid = -1;
  const int failed = spawn_ffmpeg(args, video_in, audio_in, pid);
  close(video_in);
  close(audio_in);
  if (failed != 0) {
    close(video[1]);
    close(audio[1]);
    std::snprintf(why, n, "cannot run ffmpeg: %s%s", std::strerror(failed),
                  failed == ENOENT ? " (install Debian's ffmpeg package)" : "");
    return 0;
  }
  v.pid = pid;
  v.video_fd = video[1];
  v.audio_fd = audio[1];
  fcntl(v.video_fd, F_SETFL, O_NONBLOCK);
  fcntl(v.audio_fd, F_SETFL, O_NONBLOCK);
  static constexpr uint8_t kSilence[2 * (kLeadIn + kMaxPiece)] = {};
  return video_sound(v, kSilence, 2 * static_cast<size_t>(lead_in), why, why_size);
}

int video_sound(VideoOut& v, const uint8_t* bytes, size_t count, char* why, int why_size) {
  if (v.pid < 0) return 0;
  why[0] = '\0';
  if (!send_sound(v) || sound_size + count > kSoundRoom) {
    reap(v, false, why, why_size);
    if (why[0] == '\0')
      std::snprintf(why, static_cast<size_t>(why_size), "ffmpeg stopped taking the sound");
    return 0;
  }
  for (size_t i = 0; i < count;) {
    const size_t tail = (sound_head + sound_size) % kSoundRoom;
    const size_t run = count - i < kSoundRoom - tail ? count - i : kSoundRoom - tail;
    std::memcpy(sound_ring + tail, bytes + i, run);
    sound_size += run;
    i += run;
  }
  return send_sound(v) ? 1 : (reap(v, false, why, why_size), 0);
}

int video_frame(VideoOut& v, const uint8_t* rgb, char* why, int why_size) {
  if (v.pid < 0) return 0;
  if (pump(v, rgb, v.frame_bytes, false, why, static_cast<size_t>(why_size))) return 1;
  if (why[0] != '\0') {
    end_ffmpeg(v);
    return 0;
  }
  reap(v, false, why, why_size);
  if (why[0] == '\0')
    std::snprintf(why, static_cast<size_t>(why_size), "ffmpeg stopped reading the frames");
  return 0;
}

int video_finish(VideoOut& v, char* why, int why_size) {
  if (v.pid < 0) return 0;
  why[0] = '\0';
  // The end of the video first: ffmpeg then takes the rest of the sound
  // without waiting for a frame that will not come.
  close_fd(v.video_fd);
  const bool sent = pump(v, nullptr, 0, true, why, static_cast<size_t>(why_size));
  if (!sent && why[0] != '\0') {
    end_ffmpeg(v);
    return 0;
  }
  const int kept = reap(v, sent, why, why_size);
  if (!kept && why[0] == '\0')
    std::snprintf(why, static_cast<size_t>(why_size), "ffmpeg stopped taking the sound");
  return kept;
}

void video_abandon(VideoOut& v) {
  if (v.pid >= 0) end_ffmpeg(v);
}
