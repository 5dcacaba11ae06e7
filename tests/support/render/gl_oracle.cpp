// The GL reference back end (see gl_oracle.h).
#define GL_GLEXT_PROTOTYPES 1
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include "nanovg.h"
#define NANOVG_GL3_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#include "nanovg_gl.h"
#pragma GCC diagnostic pop

#include "tests/support/render/gl_oracle.h"

#include <algorithm>

namespace sp::test {

struct GlOracle::Gl {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLContext context = EGL_NO_CONTEXT;
  GLuint fbo = 0, color = 0, stencil = 0;
};

std::unique_ptr<GlOracle> GlOracle::create(int w, int h, int flags, std::string* error) {
  auto fail = [&](const char* why) -> std::unique_ptr<GlOracle> {
    if (error) *error = why;
    return nullptr;
  };
  std::unique_ptr<GlOracle> o(new GlOracle);
  o->gl_ = std::make_unique<Gl>();
  o->w_ = w;
  o->h_ = h;
  Gl& g = *o->gl_;
  auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!getPlatformDisplay) return fail("no eglGetPlatformDisplayEXT");
  g.display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (g.display == EGL_NO_DISPLAY || !eglInitialize(g.display, nullptr, nullptr)) return fail("no surfaceless EGL display");
  if (!eglBindAPI(EGL_OPENGL_API)) return fail("no desktop GL API");
  const EGLint configAttribs[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
  EGLConfig config;
  EGLint n = 0;
  if (!eglChooseConfig(g.display, configAttribs, &config, 1, &n) || n < 1) return fail("no EGL config");
  const EGLint contextAttribs[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                   EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
  g.context = eglCreateContext(g.display, config, EGL_NO_CONTEXT, contextAttribs);
  if (g.context == EGL_NO_CONTEXT) return fail("no GL 3.3 core context");
  if (!eglMakeCurrent(g.display, EGL_NO_SURFACE, EGL_NO_SURFACE, g.context)) return fail("cannot make the context current");

  glGenFramebuffers(1, &g.fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, g.fbo);
  glGenRenderbuffers(1, &g.color);
  glBindRenderbuffer(GL_RENDERBUFFER, g.color);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, g.color);
  glGenRenderbuffers(1, &g.stencil);
  glBindRenderbuffer(GL_RENDERBUFFER, g.stencil);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, w, h);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, g.stencil);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return fail("framebuffer incomplete");
  glViewport(0, 0, w, h);

  o->vg_ = nvgCreateGL3(flags);
  if (!o->vg_) return fail("nvgCreateGL3 failed");
  return o;
}

GlOracle::~GlOracle() {
  if (!gl_) return;
  if (vg_) nvgDeleteGL3(vg_);
  if (gl_->fbo) {
    glDeleteFramebuffers(1, &gl_->fbo);
    glDeleteRenderbuffers(1, &gl_->color);
    glDeleteRenderbuffers(1, &gl_->stencil);
  }
  if (gl_->display != EGL_NO_DISPLAY) {
    eglMakeCurrent(gl_->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (gl_->context != EGL_NO_CONTEXT) eglDestroyContext(gl_->display, gl_->context);
    eglTerminate(gl_->display);
  }
}

void GlOracle::clear(float r, float g, float b, float a) {
  glClearColor(r * a, g * a, b * a, a);
  glClearStencil(0);
  glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

std::vector<uint8_t> GlOracle::readPixels() const {
  std::vector<uint8_t> rows(size_t(w_) * size_t(h_) * 4), out(rows.size());
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w_, h_, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
  const size_t stride = size_t(w_) * 4;
  for (int y = 0; y < h_; ++y)  // GL reads the bottom row first
    std::copy_n(rows.data() + size_t(h_ - 1 - y) * stride, stride, out.data() + size_t(y) * stride);
  return out;
}

void GlOracle::finish() const {
  uint8_t px[4];
  glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
}

}  // namespace sp::test
