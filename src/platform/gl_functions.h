#pragma once
// The OpenGL 3.3 core entry points the GPU device uses, loaded through SDL
// when a device is made (the program never links to libGL).
#include <GL/glcorearb.h>

#define ORVANE_GL_FUNCTIONS(X)                                              \
  X(PFNGLGETERRORPROC, GetError)                                            \
  X(PFNGLGETINTEGERVPROC, GetIntegerv)                                      \
  X(PFNGLGETSTRINGPROC, GetString)                                          \
  X(PFNGLENABLEPROC, Enable)                                                \
  X(PFNGLDISABLEPROC, Disable)                                              \
  X(PFNGLVIEWPORTPROC, Viewport)                                            \
  X(PFNGLCLEARCOLORPROC, ClearColor)                                        \
  X(PFNGLCLEARPROC, Clear)                                                  \
  X(PFNGLCOLORMASKPROC, ColorMask)                                          \
  X(PFNGLPIXELSTOREIPROC, PixelStorei)                                      \
  X(PFNGLREADPIXELSPROC, ReadPixels)                                        \
  X(PFNGLFINISHPROC, Finish)                                                \
  X(PFNGLBLENDFUNCPROC, BlendFunc)                                          \
  X(PFNGLBLENDEQUATIONPROC, BlendEquation)                                  \
  X(PFNGLGENTEXTURESPROC, GenTextures)                                      \
  X(PFNGLDELETETEXTURESPROC, DeleteTextures)                                \
  X(PFNGLBINDTEXTUREPROC, BindTexture)                                      \
  X(PFNGLACTIVETEXTUREPROC, ActiveTexture)                                  \
  X(PFNGLTEXIMAGE2DPROC, TexImage2D)                                        \
  X(PFNGLTEXSUBIMAGE2DPROC, TexSubImage2D)                                  \
  X(PFNGLTEXPARAMETERIPROC, TexParameteri)                                  \
  X(PFNGLGENSAMPLERSPROC, GenSamplers)                                      \
  X(PFNGLDELETESAMPLERSPROC, DeleteSamplers)                                \
  X(PFNGLBINDSAMPLERPROC, BindSampler)                                      \
  X(PFNGLSAMPLERPARAMETERIPROC, SamplerParameteri)                          \
  X(PFNGLGENFRAMEBUFFERSPROC, GenFramebuffers)                              \
  X(PFNGLDELETEFRAMEBUFFERSPROC, DeleteFramebuffers)                        \
  X(PFNGLBINDFRAMEBUFFERPROC, BindFramebuffer)                              \
  X(PFNGLFRAMEBUFFERTEXTURE2DPROC, FramebufferTexture2D)                    \
  X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, CheckFramebufferStatus)                \
  X(PFNGLGENBUFFERSPROC, GenBuffers)                                        \
  X(PFNGLDELETEBUFFERSPROC, DeleteBuffers)                                  \
  X(PFNGLBINDBUFFERPROC, BindBuffer)                                        \
  X(PFNGLBUFFERDATAPROC, BufferData)                                        \
  X(PFNGLGENVERTEXARRAYSPROC, GenVertexArrays)                              \
  X(PFNGLDELETEVERTEXARRAYSPROC, DeleteVertexArrays)                        \
  X(PFNGLBINDVERTEXARRAYPROC, BindVertexArray)                              \
  X(PFNGLENABLEVERTEXATTRIBARRAYPROC, EnableVertexAttribArray)              \
  X(PFNGLVERTEXATTRIBPOINTERPROC, VertexAttribPointer)                      \
  X(PFNGLDRAWARRAYSPROC, DrawArrays)                                        \
  X(PFNGLCREATESHADERPROC, CreateShader)                                    \
  X(PFNGLDELETESHADERPROC, DeleteShader)                                    \
  X(PFNGLSHADERSOURCEPROC, ShaderSource)                                    \
  X(PFNGLCOMPILESHADERPROC, CompileShader)                                  \
  X(PFNGLGETSHADERIVPROC, GetShaderiv)                                      \
  X(PFNGLGETSHADERINFOLOGPROC, GetShaderInfoLog)                            \
  X(PFNGLCREATEPROGRAMPROC, CreateProgram)                                  \
  X(PFNGLDELETEPROGRAMPROC, DeleteProgram)                                  \
  X(PFNGLATTACHSHADERPROC, AttachShader)                                    \
  X(PFNGLBINDATTRIBLOCATIONPROC, BindAttribLocation)                        \
  X(PFNGLBINDFRAGDATALOCATIONPROC, BindFragDataLocation)                    \
  X(PFNGLLINKPROGRAMPROC, LinkProgram)                                      \
  X(PFNGLGETPROGRAMIVPROC, GetProgramiv)                                    \
  X(PFNGLGETPROGRAMINFOLOGPROC, GetProgramInfoLog)                          \
  X(PFNGLUSEPROGRAMPROC, UseProgram)                                        \
  X(PFNGLGETUNIFORMLOCATIONPROC, GetUniformLocation)                        \
  X(PFNGLGETACTIVEUNIFORMPROC, GetActiveUniform)                            \
  X(PFNGLUNIFORM1IPROC, Uniform1i)                                          \
  X(PFNGLUNIFORM1IVPROC, Uniform1iv)                                        \
  X(PFNGLUNIFORM1FPROC, Uniform1f)                                          \
  X(PFNGLUNIFORM2FPROC, Uniform2f)                                          \
  X(PFNGLUNIFORM4FPROC, Uniform4f)

struct GlFunctions {
#define ORVANE_GL_MEMBER(type, name) type name = nullptr;
  ORVANE_GL_FUNCTIONS(ORVANE_GL_MEMBER)
#undef ORVANE_GL_MEMBER
};

// Fills the table from the current context; false when an entry is missing.
bool LoadGlFunctions(GlFunctions* gl);
