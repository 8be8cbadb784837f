// The picture overlay: the picture of the current hundred of song positions,
// dimmed to 80 % while nothing happens, with pulses (zoom and tilt at full
// brightness) and additive flashes of a second picture at listed positions.

#include <GL/gl.h>

#include "assets/assets.h"
#include "effects/effects.h"
#include "player/player.h"
#include "shell/overlay.h"
#include "shell/shell.h"

OverlayState overlay;

namespace {

// The last position kPictureByHundred covers; past it (and at the negative
// transients, taken unsigned) the overlay draws nothing.
constexpr uint32_t kLastOverlayPosition = 1999;
constexpr float kPictureScale = 1.33f;  // fills the width at the near plane
constexpr float kIdleBrightness = 0.8f;
constexpr double kPulseLength = 0.2;                  // seconds
constexpr double kFlashLength = 0.6;                  // seconds
constexpr double kFlashTurnRate = 140;                // degrees per second
constexpr int kFlashPictures[2] = {kSkugga, kTahti};  // by flash_alternate

void trigger(int32_t c) {
  // No guard: a listed position that lasts several frames restarts the
  // pulse, and flips its direction, in each of them.
  for (const int16_t* p = kPulsePositions; *p != -1; ++p) {
    if (*p == c) {
      overlay.pulse_start = show_clock();
      overlay.pulse_direction = -overlay.pulse_direction;
    }
  }
  // A flash starts once, in the first frame of its position; one met while
  // the previous flash still runs is dropped.
  for (const int16_t* p = kFlashPositions; *p != -1; ++p) {
    if (*p == c && overlay.flash_start <= 0.0) {
      overlay.flash_alternate = 1 - overlay.flash_alternate;
      overlay.flash_start = show_clock();
    }
  }
}

// Applies the picture's transform and returns its brightness.
float place_picture() {
  if (overlay.pulse_start <= 0.0) {
    glScalef(kPictureScale, kPictureScale, 0.0f);
    return kIdleBrightness;
  }
  const double e = show_clock() - overlay.pulse_start;
  if (e > kPulseLength) {
    glScalef(kPictureScale, kPictureScale, 0.0f);
    overlay.pulse_start = 0.0;
    return 1.0f;
  }
  // 0 at both ends of the pulse, 0.15 in its middle.
  const double k = 15.0 * (0.01 - (e - 0.1) * (e - 0.1));
  glRotatef(static_cast<float>(5.0 * overlay.pulse_direction * k), 0.0f, 0.0f, 1.0f);
  glScalef(static_cast<float>(kPictureScale + k), static_cast<float>(kPictureScale + k), 0.0f);
  return 1.0f;
}

void draw_flash() {
  glBindTexture(GL_TEXTURE_2D, TextureTable[kFlashPictures[overlay.flash_alternate]]);
  glEnable(GL_BLEND);
  // Adds the square of the flash picture's colour to the frame.
  glBlendFunc(GL_SRC_COLOR, GL_ONE);
  glPushMatrix();
  glColor3f(1.0f, 1.0f, 1.0f);
  const double e = show_clock() - overlay.flash_start;
  if (e > kFlashLength) {
    // Its last frame draws it collapsed to a point.
    glScalef(0.0f, 0.0f, 0.0f);
    overlay.flash_start = 0.0;
  } else {
    const double m = 20.0 * (0.09 - (e - 0.3) * (e - 0.3));  // 0 → 1.8 → 0
    // A second clock read on purpose: the turn runs a little ahead of the size.
    glRotatef(static_cast<float>(kFlashTurnRate * (show_clock() - overlay.flash_start)), 0.0f, 0.0f,
              1.0f);
    glScalef(static_cast<float>(m), static_cast<float>(m), 0.0f);
  }
  draw_unit_tile();
  glDisable(GL_BLEND);
  glPopMatrix();
}

}  // namespace

void draw_picture_overlay() {
  // b chooses the picture, c the triggers; they differ only when the player
  // thread moves on between the two reads.
  const int32_t b = pt_position();
  const int32_t c = pt_position();
  if (static_cast<uint32_t>(b) > kLastOverlayPosition) return;

  glPushMatrix();
  glEnable(GL_TEXTURE_2D);
  trigger(c);
  const float brightness = place_picture();
  const int picture = kPictureByHundred[b / 100];
  if (picture != -1) {
    glBindTexture(GL_TEXTURE_2D, TextureTable[picture]);
    glColor3f(brightness, brightness, brightness);
    draw_unit_tile();
  }
  glPopMatrix();
  if (overlay.flash_start > 0.0) draw_flash();
  glColor3f(1.0f, 1.0f, 1.0f);
}
