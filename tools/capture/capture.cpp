// drmorvel-capture: renders the show offline and deterministically, through
// the code the show itself runs (asset loading, the frame's matrices, the
// scene schedule, the overlay, the music engine), to PNG files, or with
// --video to one MP4 file or one lossless master encoded by ffmpeg while the
// frames are rendered, or with --sheet to one contact sheet of labelled
// thumbnails.
//
// Frame k stands at show time k / fps, by the offline clock of
// shell/frame.h. The show clock reads floor(k * 1000 / fps) milliseconds,
// and before the frame is drawn the sound has been pulled through the audio
// callback up to samples_before_frame, so every player tick whose audio
// starts at or before that time has run: the song position and the clock
// agree with the sound exactly as they would if the audio device were the
// clock. Each frame is the show's own (draw_show_frame). Every frame from 0
// is run, since the overlay, the schedule and the effects keep state from
// frame to frame, but only the frames asked for are drawn, read back and
// written: the others make their calls without drawing (draw_gate.h).
//
// A video holds frames first..last and the sound of their display time:
// samples floor(first * 44100 / fps) up to floor((last + 1) * 44100 / fps),
// so its sound and its pictures last equally long.

#include <GL/gl.h>
#include <SDL.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "assets/assets.h"
#include "contact_sheet.h"
#include "draw_gate.h"
#include "engine/offline.h"
#include "gl_target.h"
#include "options.h"
#include "player/player.h"
#include "png_write.h"
#include "progress.h"
#include "shell/frame.h"
#include "shell/shell.h"
#include "sound/sound.h"
#include "video_out.h"
#include "wav.h"

// The compiled-in data directory, unless --data names another.
const char* show_data_dir = DRMORVEL_DATA_DIR;

namespace {

constexpr char kUsage[] =
    "usage: drmorvel-capture [--size WxH] [--fps N] [--from S] [--to S] [--every K]\n"
    "                        [--data DIR] [--stall-seconds N]\n"
    "                        (--out DIR | --video FILE.mp4|FILE.mkv | --sheet FILE.png)\n"
    "  --size WxH        frame size in pixels (default 1024x768); the picture\n"
    "                    keeps its centred 4:3 viewport, with black bars\n"
    "  --fps N           frames per second of show time (default 60)\n"
    "  --from S          first second to write (default 0)\n"
    "  --to S            last second to render (default: until the show ends)\n"
    "  --every K         write every K-th frame from S on (default 1; not --video)\n"
    "  --data DIR        read the pictures and the module from DIR\n"
    "  --out DIR         where frame-NNNNNN.png, frames.tsv and audio.wav go\n"
    "  --video FILE.mp4  one H.264 + AAC video with the sound, made by ffmpeg\n"
    "                    (width and height even)\n"
    "  --video FILE.mkv  a lossless master instead: FFV1 (RGB) + FLAC in Matroska\n"
    "  --stall-seconds N give up on ffmpeg (exit status 4) when it takes nothing\n"
    "                    for N seconds, 1 to 86400 (default 30; --video only)\n"
    "  --sheet FILE.png  one contact sheet of the frames as thumbnails in order,\n"
    "                    each labelled with its time and song position (order:row)\n"
    "Exit status: 0 done, 1 no usable module, 2 bad options or files,\n"
    "3 no OpenGL context, 4 ffmpeg or its encoder missing, or ffmpeg failed\n"
    "or stalled, 130 interrupted.\n";

constexpr int kRate = 44100;       // the 16-bit device's rate
constexpr int kMaxSide = 4096;     // the largest frame side, in pixels
constexpr int kPathSize = 4096;    // room for a file or directory name
constexpr int kSoundPiece = 4096;  // samples pulled through the callback at a time
constexpr double kMaxSeconds = 24 * 3600;

struct Options {
  int width = 1024;
  int height = 768;
  int fps = 60;
  double from = 0.0;
  double to = -1.0;  // negative: until the show ends
  int every = 1;
  int stall_seconds = 30;
  const char* data = nullptr;
  const char* out = nullptr;
  const char* video = nullptr;
  const char* sheet = nullptr;
};

// The show clock's source while capturing: the current frame's milliseconds.
uint32_t frame_ms = 0;
uint32_t capture_ticks() { return frame_ms; }

// The device choice load_show_module makes: the engine set up offline, the
// sound pulled here.
int sound_choice() { return engine_open_offline(kSound16Bit); }

// The first frame --from asks for.
int64_t first_frame(const Options& o) {
  return static_cast<int64_t>(std::ceil(o.from * o.fps - 1e-9));
}

// The last frame --to allows.
int64_t last_frame(const Options& o) {
  return static_cast<int64_t>(std::floor(o.to * o.fps + 1e-9));
}

int usage(const char* problem) {
  if (problem) std::fprintf(stderr, "drmorvel-capture: %s\n", problem);
  std::fputs(kUsage, stderr);
  return 2;
}

bool parse_size(const char* s, int& w, int& h) {
  const char* x = std::strpbrk(s, "xX");
  long a = 0, b = 0;
  if (x == nullptr || !parse_whole(s, static_cast<size_t>(x - s), 1, kMaxSide, a) ||
      !parse_whole(x + 1, 1, kMaxSide, b))
    return false;
  w = static_cast<int>(a);
  h = static_cast<int>(b);
  return true;
}

int parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    if (i + 1 >= argc) return usage("every option needs a value");
    const char* v = argv[++i];
    long n = 0;
    if (arg == "--size") {
      if (!parse_size(v, o.width, o.height)) return usage("--size takes WxH, each 1 to 4096");
    } else if (arg == "--fps") {
      if (!parse_whole(v, 1, 1000, n)) return usage("--fps takes a whole number from 1 to 1000");
      o.fps = static_cast<int>(n);
    } else if (arg == "--from") {
      if (!parse_decimal(v, 0, kMaxSeconds, o.from))
        return usage("--from takes seconds from 0 to 86400");
    } else if (arg == "--to") {
      if (!parse_decimal(v, 0, kMaxSeconds, o.to))
        return usage("--to takes seconds from 0 to 86400");
    } else if (arg == "--every") {
      if (!parse_whole(v, 1, 1000000, n))
        return usage("--every takes a whole number from 1 to 1000000");
      o.every = static_cast<int>(n);
    } else if (arg == "--stall-seconds") {
      if (!parse_whole(v, 1, 86400, n))
        return usage("--stall-seconds takes a whole number from 1 to 86400");
      o.stall_seconds = static_cast<int>(n);
    } else if (arg == "--data") {
      o.data = v;
    } else if (arg == "--out") {
      o.out = v;
    } else if (arg == "--video") {
      o.video = v;
    } else if (arg == "--sheet") {
      o.sheet = v;
    } else {
      return usage("unknown option");
    }
  }
  if ((o.out != nullptr) + (o.video != nullptr) + (o.sheet != nullptr) != 1)
    return usage("give one of --out DIR, --video FILE.mp4, --video FILE.mkv and --sheet FILE.png");
  if (o.video && video_kind(o.video) == VideoKind::unknown)
    return usage("--video takes a name ending in .mp4 (H.264 + AAC) or .mkv (lossless master)");
  if (o.video && o.every != 1) return usage("--every does not apply to --video");
  // The MP4's 4:2:0 colour planes are half the picture's size each way.
  if (o.video && video_kind(o.video) == VideoKind::mp4 && (o.width % 2 != 0 || o.height % 2 != 0))
    return usage("--video FILE.mp4 needs an even width and height");
  if (o.to >= 0 && o.from > o.to) return usage("--from lies after --to");
  if (o.out && o.to >= 0 &&
      !wav_holds(2 * static_cast<uint64_t>(samples_before_frame(last_frame(o), o.fps, kRate))))
    return usage("--to: the sound up to then is more than the 4 GiB audio.wav can hold");
  return 0;
}

// Where the pulled sound goes: all of it to the WAV file, or to the video
// from sample `video_from` on.
struct SoundSink {
  std::FILE* wav = nullptr;
  VideoOut* video = nullptr;
  int64_t video_from = 0;
};

// Pulls the sound up to `target` samples from show time 0 and hands it to
// the sink. Works in pieces of at most one buffer. Returns 0 with a reason
// when the video's encoder has stopped taking it.
int pull_sound(int64_t& pulled, int64_t target, const SoundSink& sink, char* why, int why_size) {
  static uint8_t buffer[2 * kSoundPiece];
  while (pulled < target) {
    const int64_t want = target - pulled;
    const int n = static_cast<int>(want < kSoundPiece ? want : kSoundPiece);
    engine_render(buffer, static_cast<size_t>(n));
    if (sink.wav) std::fwrite(buffer, 2, n, sink.wav);
    if (sink.video && pulled + n > sink.video_from) {
      const int64_t skip = sink.video_from > pulled ? sink.video_from - pulled : 0;
      if (!video_sound(*sink.video, buffer + 2 * skip, static_cast<size_t>(2 * (n - skip)), why,
                       why_size))
        return 0;
    }
    pulled += n;
  }
  return 1;
}

// Set by SIGINT or SIGTERM while a video is made, so that the unfinished
// file can be removed and ffmpeg ended.
volatile std::sig_atomic_t interrupted = 0;
void on_interrupt(int) { interrupted = 1; }

// One capture's outputs and progress.
struct Capture {
  Options o;
  GlTarget target;
  VideoOut video;
  std::FILE* tsv = nullptr;
  std::FILE* wav = nullptr;
  SoundSink sink;
  int64_t pulled = 0;    // samples pulled so far
  int64_t rendered = 0;  // frames 0 .. rendered - 1 are drawn
  int written = 0;       // frames handed to the output
  char why[512] = "";
};

// Opens the frame directory's files or starts the video's encoder. Returns
// 0 or the exit status.
int open_outputs(Capture& c) {
  const Options& o = c.o;
  if (o.out) {
    if (mkdir(o.out, 0777) != 0 && errno != EEXIST) {
      std::fprintf(stderr, "drmorvel-capture: cannot make %s: %s\n", o.out, std::strerror(errno));
      return 2;
    }
    char path[kPathSize];
    std::snprintf(path, sizeof path, "%s/frames.tsv", o.out);
    c.tsv = std::fopen(path, "w");
    std::snprintf(path, sizeof path, "%s/audio.wav", o.out);
    c.wav = std::fopen(path, "wb");
    if (!c.tsv || !c.wav) {
      std::fprintf(stderr, "drmorvel-capture: cannot write into %s: %s\n", o.out,
                   std::strerror(errno));
      return 2;
    }
  } else if (o.video) {
    // Started before the GL context exists, while this process has one
    // thread: nothing of the renderer's threads is copied into ffmpeg.
    c.video.stall_seconds = o.stall_seconds;
    if (!video_open(c.video, o.video, o.width, o.height, o.fps, kRate, c.why, sizeof c.why)) {
      std::fprintf(stderr, "drmorvel-capture: %s\n", c.why);
      return 4;
    }
    c.video.stop = &interrupted;
    std::signal(SIGINT, on_interrupt);
    std::signal(SIGTERM, on_interrupt);
  }
  return 0;
}

// The show's start-up, with the sound pulled here instead of by an audio
// device, and the clock driven by the frame number. Returns 0 or the exit
// status.
int start_show(Capture& c) {
  const Options& o = c.o;
  if (o.sheet) sheet_begin(o.width, o.height);
  if (!gl_target_open(c.target, o.width, o.height, c.why, sizeof c.why)) {
    std::fprintf(stderr, "drmorvel-capture: cannot render: %s\n", c.why);
    video_abandon(c.video);
    return 3;
  }
  if (!draw_gate_open(c.why, sizeof c.why)) {
    std::fprintf(stderr, "drmorvel-capture: cannot render: %s\n", c.why);
    gl_target_close(c.target);
    video_abandon(c.video);
    return 3;
  }
  static char data_dir[kPathSize];
  if (o.data) {
    const size_t n = std::strlen(o.data);
    std::snprintf(data_dir, sizeof data_dir, "%s%s", o.data,
                  n > 0 && o.data[n - 1] == '/' ? "" : "/");
    show_data_dir = data_dir;
  }
  asset_sound_choice = sound_choice;
  if (!load_assets()) {
    std::fprintf(stderr, "drmorvel-capture: cannot open the module in %s\n", show_data_dir);
    gl_target_close(c.target);
    video_abandon(c.video);
    return 1;
  }
  if (song.channel_count == 0 && o.to < 0) {
    // The song position would stay at 0 and the show never end.
    std::fprintf(stderr, "drmorvel-capture: the module was not accepted (%s); give --to\n",
                 song.error_text ? song.error_text : "unknown");
    gl_target_close(c.target);
    video_abandon(c.video);
    return 1;
  }
  begin_show_gl();
  set_aspect_viewport(0, 0, o.width, o.height);
  set_show_clock_source(capture_ticks);
  frame_ms = 0;
  show_clock();  // starts the clock at frame 0

  if (c.wav) {
    uint8_t header[kWavHeaderSize];
    wav_header(header, kRate, 16, 0);
    std::fwrite(header, 1, sizeof header, c.wav);
    std::fputs("frame\ttime\tposition\n", c.tsv);
  }
  c.sink.wav = c.wav;
  if (o.video) {
    c.sink.video = &c.video;
    c.sink.video_from = first_frame(o) * kRate / o.fps;
  }
  return 0;
}

// Hands frame k, drawn at song position p, to the output. Returns 0 or the
// exit status, with the reason in c.why.
int keep_frame(Capture& c, int64_t k, int32_t p) {
  static uint8_t rgb[kMaxSide * kMaxSide * 3];
  const Options& o = c.o;
  gl_target_read(c.target, rgb);
  if (o.video) {
    // The sound up to the end of this frame goes first: ffmpeg may wait for
    // it before it takes this frame (video_out.cpp). Pulling it now changes
    // nothing that is drawn: this frame has been read back, and the next
    // frame, or the end of the video, pulls up to there first anyway.
    if (!pull_sound(c.pulled, samples_before_frame(k + 1, o.fps, kRate), c.sink, c.why,
                    sizeof c.why))
      return 4;
    if (!video_frame(c.video, rgb, c.why, sizeof c.why)) return interrupted ? 130 : 4;
  } else if (o.sheet) {
    if (!sheet_add(rgb, static_cast<double>(k) / o.fps, p)) {
      std::snprintf(c.why, sizeof c.why, "more than %d thumbnails: give a larger --every",
                    kSheetMaxThumbs);
      return 2;
    }
  } else {
    char path[kPathSize];
    std::snprintf(path, sizeof path, "%s/frame-%06lld.png", o.out, static_cast<long long>(k));
    if (!write_png(path, rgb, o.width, o.height)) {
      std::snprintf(c.why, sizeof c.why, "cannot write %.400s", path);
      return 2;
    }
  }
  ++c.written;
  return 0;
}

// Shows frame k done: against --to's last frame, or against an estimate
// from the song position until the frame that ends the show.
void show_progress(Progress& progress, int64_t k, int64_t last, int32_t p, int32_t closing) {
  ProgressState state;
  state.done = k + 1;
  state.position = p;
  if (last >= 0) {
    state.total = last + 1;
  } else {
    state.total = progress_estimate(k + 1, closing, kLastShowPosition);
    state.estimated = true;
  }
  if (show_has_ended(closing)) {
    state.total = k + 1;
    state.estimated = false;
  }
  progress_update(progress, state);
}

// Runs every frame from 0 as the show would, pulling the sound ahead of
// each, up to --to's last frame or the frame that ends the show; those not
// written make their calls without drawing. Returns 0 or the exit status,
// with the reason in c.why.
int render_frames(Capture& c) {
  const Options& o = c.o;
  const int64_t first = first_frame(o);
  // The last frame --to allows; without --to the song decides.
  const int64_t last = o.to >= 0 ? last_frame(o) : -1;
  Progress progress;
  progress_start(progress);
  ScheduleOrigins origins;
  int status = 0;
  for (int64_t k = 0;; ++k) {
    if (last >= 0 && k > last) break;
    if (interrupted) {
      status = 130;
      break;
    }
    frame_ms = static_cast<uint32_t>(k * 1000 / o.fps);
    const int64_t sample = samples_before_frame(k, o.fps, kRate);
    if (c.wav && !wav_holds(2 * static_cast<uint64_t>(sample))) {
      // Only a song that never ends gets here without --to, after 13 hours.
      std::snprintf(c.why, sizeof c.why,
                    "the sound passes the 4 GiB audio.wav can hold at frame %lld",
                    static_cast<long long>(k));
      status = 2;
      break;
    }
    if (!pull_sound(c.pulled, sample, c.sink, c.why, sizeof c.why)) {
      status = 4;
      break;
    }

    // The frames not written (before the first one asked for, and between
    // those --every keeps) only carry the show's state on: every call is
    // made, but nothing is drawn.
    const bool kept = k >= first && (k - first) % o.every == 0;
    draw_gate_set(kept);
    const FramePositions frame = draw_show_frame(origins);
    const auto p = static_cast<int32_t>(frame.drawn);
    c.rendered = k + 1;
    if (c.tsv)
      std::fprintf(c.tsv, "%lld\t%.6f\t%d\n", static_cast<long long>(k),
                   static_cast<double>(k) / o.fps, p);
    if (kept) {
      status = keep_frame(c, k, p);
      if (status != 0) break;
    }
    show_progress(progress, k, last, p, frame.closing);
    if (show_has_ended(frame.closing)) break;  // the frame that ends the show
  }
  progress_end(progress);
  gl_target_close(c.target);
  return status;
}

// Completes audio.wav's header and closes the frame directory's files.
int finish_out(Capture& c, int status) {
  uint8_t header[kWavHeaderSize];
  const long data_bytes = std::ftell(c.wav) - kWavHeaderSize;
  wav_header(header, kRate, 16, static_cast<uint32_t>(data_bytes));
  std::fseek(c.wav, 0, SEEK_SET);
  std::fwrite(header, 1, sizeof header, c.wav);
  if (std::fclose(c.wav) != 0 || std::fclose(c.tsv) != 0) status = 2;
  if (status == 2 && c.why[0] == '\0')
    std::snprintf(c.why, sizeof c.why, "cannot write into %s", c.o.out);
  if (status != 0) std::fprintf(stderr, "drmorvel-capture: %s\n", c.why);
  std::fprintf(stderr, "drmorvel-capture: %d frames written to %s\n", c.written, c.o.out);
  return status;
}

// Writes the contact sheet, unless the capture failed.
int finish_sheet(Capture& c, int status) {
  if (status == 0 && !sheet_write(c.o.sheet)) {
    std::snprintf(c.why, sizeof c.why, "cannot write %.400s", c.o.sheet);
    status = 2;
  }
  if (status != 0) {
    std::fprintf(stderr, "drmorvel-capture: %s; no sheet written\n", c.why);
    return status;
  }
  std::fprintf(stderr, "drmorvel-capture: %d thumbnails written to %s\n", c.written, c.o.sheet);
  return 0;
}

// The video: the sound of the last frame's display time, then the end; or,
// on failure, no file at all.
int finish_video(Capture& c, int status) {
  const Options& o = c.o;
  if (status == 0 && !pull_sound(c.pulled, c.rendered * kRate / o.fps, c.sink, c.why, sizeof c.why))
    status = 4;
  if (status == 0 && !video_finish(c.video, c.why, sizeof c.why)) status = interrupted ? 130 : 4;
  if (status == 130) std::snprintf(c.why, sizeof c.why, "interrupted");
  if (status != 0) {
    video_abandon(c.video);
    std::fprintf(stderr, "drmorvel-capture: %s; no video written to %s\n", c.why, o.video);
    return status;
  }
  std::fprintf(stderr, "drmorvel-capture: %d frames (%.2f s) with their sound written to %s\n",
               c.written, static_cast<double>(c.written) / o.fps, o.video);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  static Capture c;
  if (const int bad = parse(argc, argv, c.o)) return bad;
  if (const int failed = open_outputs(c)) return failed;
  if (const int failed = start_show(c)) return failed;
  int status = render_frames(c);
  if (c.wav) return finish_out(c, status);
  if (status == 0 && c.written == 0) {
    std::snprintf(c.why, sizeof c.why, "no frame lies within --from and the end of the show");
    status = 2;
  }
  if (c.o.sheet) return finish_sheet(c, status);
  return finish_video(c, status);
}
