// Picture decoding: a JPEG file to RGB rows, within a memory budget, with
// the library's errors turned into a message and a null result.

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

#include "assets/picture.h"

namespace {

// Larger pictures than this could not become textures anyway.
constexpr JDIMENSION kMaxPictureSide = 16384;
constexpr size_t kMiB = size_t{1} << 20;

char last_message[JMSG_LENGTH_MAX];

// The library's standard error manager ends the process on an error; this
// one jumps back into decode_jpeg_rgb instead, and keeps the library's
// messages for the caller rather than printing them.
struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf escape;
};

void keep_message(j_common_ptr cinfo) { (*cinfo->err->format_message)(cinfo, last_message); }

[[noreturn]] void escape_on_error(j_common_ptr cinfo) {
  keep_message(cinfo);
  std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->escape, 1);
}

}  // namespace

const char* jpeg_message() { return last_message; }

uint8_t* load_jpeg_rgb(const char* path, int* width, int* height) {
  last_message[0] = '\0';
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return nullptr;
  uint8_t* block = decode_jpeg_rgb(file, kPictureBudget, width, height);
  std::fclose(file);
  return block;
}

uint8_t* decode_jpeg_rgb(std::FILE* file, size_t budget, int* width, int* height) {
  last_message[0] = '\0';
  jpeg_decompress_struct cinfo;
  JpegErrors errors;
  cinfo.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = escape_on_error;
  errors.manager.output_message = keep_message;
  // volatile: written after setjmp and needed after the jump back.
  uint8_t* volatile block = nullptr;
  if (setjmp(errors.escape)) {
    if (errors.manager.msg_code == JERR_NO_BACKING_STORE) {
      // The library's working memory would not fit in what the block left.
      std::snprintf(last_message, sizeof last_message,
                    "picture of %u x %u pixels needs more than %zu MiB to decode",
                    cinfo.image_width, cinfo.image_height, budget / kMiB);
    }
    jpeg_destroy_decompress(&cinfo);
    std::free(block);
    return nullptr;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  // One spare row at the end of the block, three bytes a pixel.
  const uint64_t block_bytes = (uint64_t{cinfo.image_height} + 1) * cinfo.image_width * 3;
  if (cinfo.image_width > kMaxPictureSide || cinfo.image_height > kMaxPictureSide ||
      block_bytes > budget) {
    std::snprintf(last_message, sizeof last_message, "picture of %u x %u pixels is too large",
                  cinfo.image_width, cinfo.image_height);
    jpeg_destroy_decompress(&cinfo);
    return nullptr;
  }
  // What the block leaves of the budget bounds the library's whole-picture
  // buffers (a progressive or multi-scan file keeps every coefficient):
  // past it the library stops with an error, since it has no backing store.
  cinfo.mem->max_memory_to_use = static_cast<long>(budget - block_bytes);
  // Ask for RGB whatever the file holds: a grayscale picture is expanded
  // to three equal components rather than filling a third of each row.
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);

  const size_t stride = static_cast<size_t>(cinfo.output_width) * 3;
  JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                              static_cast<JDIMENSION>(stride), 1);
  // Zero-filled so that rows a damaged file never delivers are black
  // rather than undefined.
  block = static_cast<uint8_t*>(std::calloc(cinfo.output_height + 1u, stride));
  if (block == nullptr) {
    std::snprintf(last_message, sizeof last_message, "no memory for %u x %u pixels",
                  cinfo.output_width, cinfo.output_height);
    jpeg_destroy_decompress(&cinfo);
    return nullptr;
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    if (jpeg_read_scanlines(&cinfo, row, 1) != 1) break;
    std::memcpy(block + (cinfo.output_scanline - 1) * stride, row[0], stride);
  }
  jpeg_finish_decompress(&cinfo);
  *width = static_cast<int>(cinfo.output_width);
  *height = static_cast<int>(cinfo.output_height);
  jpeg_destroy_decompress(&cinfo);
  return block;
}
