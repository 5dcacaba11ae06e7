#pragma once
// NanoVG on Metal: creates a NanoVG context that draws into a Metal layer (the window) or into
// offscreen framebuffers, reads their pixels back and exposes the underlying Metal objects.
//
// Thread: the drawing thread (the main thread). GPU completion runs on a Metal thread and only
// frees frame buffers. Failures: creation answers null (no layer, no shader library); calls with
// unknown image ids or regions outside an image do nothing (and answer 0 where they answer).
#include <memory>

#include "nanovg.h"

namespace mtl {
class CommandQueue;
class Device;
class Texture;
}  // namespace mtl

// Creation flags.
enum NVGcreateFlagsMTL {
  NVG_ANTIALIAS = 1 << 0,          // edge fringes and the antialiasing fragment function
  NVG_STENCIL_STROKES = 1 << 1,    // strokes through the stencil: overlaps drawn once
  NVG_DEBUG = 1 << 2,              // print Metal errors
  NVG_DOUBLE_BUFFER = 1 << 12,     // two frames in flight
  NVG_TRIPLE_BUFFER = 1 << 13,     // three frames in flight
};
// Image flag: the Metal texture belongs to the caller and is not released with the image.
enum NVGimageFlagsMTL { NVG_IMAGE_NODELETE = 1 << 16 };

// An offscreen framebuffer: an RGBA image that the next flush of `ctx` renders into while bound.
struct MVGframebuffer {
  NVGcontext* ctx;
  int image;
};

// `metalLayer` is an mtl::MetalLayer*; it gets the system device when it has none.
NVGcontext* nvgCreateMTL(void* metalLayer, int flags);
void nvgDeleteMTL(NVGcontext* ctx);

// The next flush clears its target once with `color` (straight alpha).
void mvgClearWithColor(NVGcontext* ctx, NVGcolor color);

// Null when the image cannot be made (sides outside 1..16384).
MVGframebuffer* mvgCreateFramebuffer(NVGcontext* ctx, int width, int height, int imageFlags);
// Process-wide binding (null: the window). Deleting the bound framebuffer binds null.
// Framebuffers are deleted before their context.
void mvgBindFramebuffer(MVGframebuffer* fb);
void mvgDeleteFramebuffer(MVGframebuffer* fb);

// Copies the region of an image into `data`, rows packed at width x bytes per pixel (4 for RGBA,
// premultiplied; 1 for alpha), after the frames that render into the image have completed.
// Nothing is copied for an unknown image or a region outside it.
void mvgReadPixels(NVGcontext* ctx, int image, int x, int y, int width, int height, void* data);

// The image's texture (null when unknown), after the frames rendering into it have completed.
std::shared_ptr<mtl::Texture> mvgImageHandle(NVGcontext* ctx, int image);
// Wraps a texture as an image (0 on failure).
int mvgCreateImageFromHandle(NVGcontext* ctx, std::shared_ptr<mtl::Texture> texture, int imageFlags);
std::shared_ptr<mtl::Device> mvgDevice(NVGcontext* ctx);
std::shared_ptr<mtl::CommandQueue> mvgCommandQueue(NVGcontext* ctx);
int mvgTarget();
