#include "d3dframework/host/gl_renderer.h"

#include "codec/dxt3.h"

#include <QOpenGLContext>

#include <algorithm>
#include <cstring>

namespace lnd {

namespace {

constexpr unsigned kCompressedRgbaDxt3 = 0x83F2;
constexpr unsigned kTextureMaxAnisotropy = 0x84FE;
constexpr unsigned kMaxTextureMaxAnisotropy = 0x84FF;

const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec4 aColour;
layout(location = 3) in vec2 aTex0;
layout(location = 4) in vec2 aTex1;
uniform mat4 uWorldViewProj;
uniform mat4 uWorld;
uniform int uTexSet;
uniform bool uHasColour;
uniform bool uLighting;
uniform vec3 uLightDir;
uniform vec3 uLightDiffuse;
uniform vec3 uAmbient;
uniform vec4 uMatDiffuse;
uniform vec4 uMatAmbient;
out vec4 vColour;
out vec2 vTex;
void main() {
    // Matrices arrive as rows of row-vector transforms, which GLSL reads as M * v.
    gl_Position = uWorldViewProj * vec4(aPosition, 1.0);
    gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;   // depth 0..1 to GL's -1..1
    vec4 diffuse = uHasColour ? aColour : vec4(1.0);
    if (uLighting) {
        vec3 n = normalize(mat3(uWorld) * aNormal);
        float d = max(dot(n, -uLightDir), 0.0);
        vColour = vec4(uAmbient * uMatAmbient.rgb + d * uLightDiffuse * uMatDiffuse.rgb, uMatDiffuse.a);
    } else {
        vColour = diffuse;
    }
    vTex = uTexSet == 1 ? aTex1 : aTex0;
}
)";

const char* kFragmentShader = R"(#version 330 core
in vec4 vColour;
in vec2 vTex;
uniform sampler2D uTexture;
uniform int uColourOp;
uniform bool uOpaque;
uniform bool uClamp;
uniform vec4 uTexClamp;
out vec4 fragColour;
void main() {
    vec4 t = texture(uTexture, uClamp ? clamp(vTex, uTexClamp.xy, uTexClamp.zw) : vTex);
    vec3 c;
    if (uColourOp == 0) {
        c = t.rgb * t.a + vColour.rgb * (1.0 - t.a);
    } else if (uColourOp == 1) {
        c = t.rgb;
    } else {
        c = vColour.rgb;
    }
    fragColour = vec4(c, uOpaque ? 1.0 : vColour.a);
}
)";

}  // namespace

glm::vec4 tileTexClamp(int x, int y, int width, int height, int textureWidth, int textureHeight) {
    const float tw = float(std::max(textureWidth, 1)), th = float(std::max(textureHeight, 1));
    return glm::vec4((float(x) + 0.5f) / tw, (float(y) + 0.5f) / th, (float(x + width) - 0.5f) / tw,
                     (float(y + height) - 0.5f) / th);
}

GlRenderer::~GlRenderer() = default;   // GL objects die with their context

bool GlRenderer::initialize(std::string& error) {
    QOpenGLContext* ctx = QOpenGLContext::currentContext();
    if (ctx == nullptr || !initializeOpenGLFunctions()) {
        error = "no OpenGL 3.3 core context";
        return false;
    }
    m_s3tc = ctx->hasExtension("GL_EXT_texture_compression_s3tc") ||
             ctx->hasExtension("GL_ANGLE_texture_compression_dxt3");
    if (ctx->hasExtension("GL_EXT_texture_filter_anisotropic") ||
        ctx->hasExtension("GL_ARB_texture_filter_anisotropic")) {
        glGetFloatv(kMaxTextureMaxAnisotropy, &m_maxAnisotropy);
    }

    auto compile = [&](GLenum type, const char* source) -> GLuint {
        const GLuint s = glCreateShader(type);
        glShaderSource(s, 1, &source, nullptr);
        glCompileShader(s);
        GLint ok = 0;
        glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            char log[1024] = {};
            glGetShaderInfoLog(s, sizeof log, nullptr, log);
            error = log;
            glDeleteShader(s);
            return 0;
        }
        return s;
    };
    const GLuint vs = compile(GL_VERTEX_SHADER, kVertexShader);
    const GLuint fs = vs ? compile(GL_FRAGMENT_SHADER, kFragmentShader) : 0;
    if (fs == 0) {
        if (vs) glDeleteShader(vs);
        return false;
    }
    m_program = glCreateProgram();
    glAttachShader(m_program, vs);
    glAttachShader(m_program, fs);
    glLinkProgram(m_program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint linked = 0;
    glGetProgramiv(m_program, GL_LINK_STATUS, &linked);
    if (!linked) {
        error = "shader link failed";
        glDeleteProgram(m_program);
        m_program = 0;
        return false;
    }
    m_uWorldViewProj = glGetUniformLocation(m_program, "uWorldViewProj");
    m_uWorld = glGetUniformLocation(m_program, "uWorld");
    m_uTexSet = glGetUniformLocation(m_program, "uTexSet");
    m_uHasColour = glGetUniformLocation(m_program, "uHasColour");
    m_uLighting = glGetUniformLocation(m_program, "uLighting");
    m_uLightDir = glGetUniformLocation(m_program, "uLightDir");
    m_uLightDiffuse = glGetUniformLocation(m_program, "uLightDiffuse");
    m_uAmbient = glGetUniformLocation(m_program, "uAmbient");
    m_uMatDiffuse = glGetUniformLocation(m_program, "uMatDiffuse");
    m_uMatAmbient = glGetUniformLocation(m_program, "uMatAmbient");
    m_uColourOp = glGetUniformLocation(m_program, "uColourOp");
    m_uOpaque = glGetUniformLocation(m_program, "uOpaque");
    m_uClamp = glGetUniformLocation(m_program, "uClamp");
    m_uTexClamp = glGetUniformLocation(m_program, "uTexClamp");
    glUseProgram(m_program);
    glUniform1i(glGetUniformLocation(m_program, "uTexture"), 0);

    glGenSamplers(2, m_samplers);
    // Terrain: point minification and mip choice, smooth (anisotropic where offered) magnification.
    glSamplerParameteri(m_samplers[0], GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_NEAREST);
    glSamplerParameteri(m_samplers[0], GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // A block texture covers its block exactly: wrapping would filter the far edge into the
    // near one and draw a seam along every block border.
    glSamplerParameteri(m_samplers[0], GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(m_samplers[0], GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    if (m_maxAnisotropy > 1.0f) {
        glSamplerParameterf(m_samplers[0], kTextureMaxAnisotropy, std::min(m_maxAnisotropy, 16.0f));
    }
    glSamplerParameteri(m_samplers[1], GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
    glSamplerParameteri(m_samplers[1], GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    // What an empty texture slot samples: opaque white, so "select texture" keeps the colour.
    glGenTextures(1, &m_white);
    glBindTexture(GL_TEXTURE_2D, m_white);
    const std::uint32_t white = 0xFFFFFFFFu;
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, &white);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    return true;
}

void GlRenderer::releaseAll() {
    if (m_program == 0) {
        m_textures.clear();
        m_meshes.clear();
        return;
    }
    forgetAll();
    glDeleteSamplers(2, m_samplers);
    glDeleteTextures(1, &m_white);
    glDeleteProgram(m_program);
    m_program = 0;
    m_white = 0;
    m_samplers[0] = m_samplers[1] = 0;
}

void GlRenderer::deleteTexture(GlTexture& gl) {
    if (gl.name != 0 && m_program != 0) {
        glDeleteTextures(1, &gl.name);
    }
    gl.name = 0;
}

void GlRenderer::deleteMesh(GlMesh& gl) {
    if (gl.vao != 0 && m_program != 0) {
        glDeleteVertexArrays(1, &gl.vao);
        glDeleteBuffers(1, &gl.vbo);
        glDeleteBuffers(1, &gl.ibo);
    }
    gl = GlMesh{};
}

void GlRenderer::forget(const DeviceTexture* texture) {
    auto it = m_textures.find(texture);
    if (it != m_textures.end()) {
        deleteTexture(it->second);
        m_textures.erase(it);
    }
}

void GlRenderer::forget(const DeviceMesh* mesh) {
    auto it = m_meshes.find(mesh);
    if (it != m_meshes.end()) {
        deleteMesh(it->second);
        m_meshes.erase(it);
    }
}

void GlRenderer::forgetAll() {
    for (auto& [key, gl] : m_textures) deleteTexture(gl);
    for (auto& [key, gl] : m_meshes) deleteMesh(gl);
    m_textures.clear();
    m_meshes.clear();
}

void GlRenderer::beginFrame(int width, int height, std::uint32_t clearArgb, float depth) {
    glViewport(0, 0, width, height);
    glClearColor(((clearArgb >> 16) & 0xFF) / 255.0f, ((clearArgb >> 8) & 0xFF) / 255.0f,
                 (clearArgb & 0xFF) / 255.0f, 1.0f);
    glClearDepth(depth);
    glClearStencil(0);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
}

void GlRenderer::setTransforms(const Matrix& world, const Matrix& view, const Matrix& projection) {
    m_world = world;
    m_view = view;
    m_projection = projection;
}

void GlRenderer::setWorld(const Matrix& world) { m_world = world; }

void GlRenderer::uploadLevel(const DeviceTexture& texture, std::uint32_t level, const Rect& rect, bool allocate) {
    const std::uint8_t* bytes = texture.levelBytes(level);
    const std::uint32_t lw = texture.levelWidth(level);
    const std::uint32_t lh = texture.levelHeight(level);
    const std::size_t pitch = texture.levelPitch(level);
    if (bytes == nullptr || rect.width() <= 0 || rect.height() <= 0) {
        return;
    }
    if (texture.format() == TextureFormat::Dxt3) {
        const int bx0 = rect.left / 4, by0 = rect.top / 4;
        const int bx1 = (rect.right + 3) / 4, by1 = (rect.bottom + 3) / 4;
        const std::size_t rowBytes = std::size_t(bx1 - bx0) * kDxt3BlockBytes;
        const std::size_t size = rowBytes * std::size_t(by1 - by0);
        if (m_s3tc) {
            const std::uint8_t* src = bytes;
            if (!allocate) {   // gather the rectangle's rows of blocks
                if (m_scratch.size() < size) m_scratch.resize(size);
                for (int by = by0; by < by1; ++by) {
                    std::memcpy(m_scratch.data() + std::size_t(by - by0) * rowBytes,
                                bytes + std::size_t(by) * pitch + std::size_t(bx0) * kDxt3BlockBytes, rowBytes);
                }
                src = m_scratch.data();
            }
            if (allocate) {
                glCompressedTexImage2D(GL_TEXTURE_2D, GLint(level), kCompressedRgbaDxt3, GLsizei(lw), GLsizei(lh), 0,
                                       GLsizei(size), src);
            } else {
                const int x = bx0 * 4, y = by0 * 4;
                glCompressedTexSubImage2D(GL_TEXTURE_2D, GLint(level), x, y, std::min<int>(int(lw) - x, (bx1 - bx0) * 4),
                                          std::min<int>(int(lh) - y, (by1 - by0) * 4), kCompressedRgbaDxt3,
                                          GLsizei(size), src);
            }
            m_counters.bytes += size;
            return;
        }
        // No compressed textures on this context: decode the blocks here.
        const int w = (bx1 - bx0) * 4, h = (by1 - by0) * 4;
        const std::size_t decoded = std::size_t(w) * h * 4;
        if (m_scratch.size() < decoded + size) m_scratch.resize(decoded + size);
        std::uint8_t* blocks = m_scratch.data() + decoded;
        for (int by = by0; by < by1; ++by) {
            std::memcpy(blocks + std::size_t(by - by0) * rowBytes,
                        bytes + std::size_t(by) * pitch + std::size_t(bx0) * kDxt3BlockBytes, rowBytes);
        }
        decodeDxt3Image(blocks, w, h, m_scratch.data(), std::size_t(w) * 4);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, w);
        if (allocate) {
            glTexImage2D(GL_TEXTURE_2D, GLint(level), GL_RGBA8, GLsizei(lw), GLsizei(lh), 0, GL_BGRA,
                         GL_UNSIGNED_INT_8_8_8_8, nullptr);
        }
        glTexSubImage2D(GL_TEXTURE_2D, GLint(level), bx0 * 4, by0 * 4, std::min<int>(int(lw) - bx0 * 4, w),
                        std::min<int>(int(lh) - by0 * 4, h), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8, m_scratch.data());
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        m_counters.bytes += decoded;
        return;
    }
    // Texels are blue, green, red, alpha bytes.
    glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(pitch / 4));
    const std::uint8_t* src = bytes + std::size_t(rect.top) * pitch + std::size_t(rect.left) * 4;
    if (allocate) {
        glTexImage2D(GL_TEXTURE_2D, GLint(level), GL_RGBA8, GLsizei(lw), GLsizei(lh), 0, GL_BGRA, GL_UNSIGNED_BYTE, src);
    } else {
        glTexSubImage2D(GL_TEXTURE_2D, GLint(level), rect.left, rect.top, rect.width(), rect.height(), GL_BGRA,
                        GL_UNSIGNED_BYTE, src);
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    m_counters.bytes += std::size_t(rect.width()) * rect.height() * 4;
}

void GlRenderer::uploadWholeTexture(DeviceTexture& texture, GlTexture& gl) {
    if (gl.name == 0) {
        glGenTextures(1, &gl.name);
    }
    glBindTexture(GL_TEXTURE_2D, gl.name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (std::uint32_t l = 0; l < texture.levelCount(); ++l) {
        uploadLevel(texture, l, Rect{0, 0, int(texture.levelWidth(l)), int(texture.levelHeight(l))}, true);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, GLint(texture.levelCount()) - 1);
    gl.width = texture.width();
    gl.height = texture.height();
    gl.levels = texture.levelCount();
    gl.format = texture.format();
    ++m_counters.textureCreates;
}

void GlRenderer::syncTexture(DeviceTexture& texture) {
    auto [it, fresh] = m_textures.try_emplace(&texture);
    GlTexture& gl = it->second;
    const bool sameShape = gl.width == texture.width() && gl.height == texture.height() &&
                           gl.levels == texture.levelCount() && gl.format == texture.format();
    if (fresh || !sameShape) {
        uploadWholeTexture(texture, gl);
    } else if (gl.changeCount != texture.changeCount()) {
        glBindTexture(GL_TEXTURE_2D, gl.name);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        const auto& rects = texture.dirtyRects();
        if (rects.empty() && !texture.smallerLevelsDirty()) {
            uploadWholeTexture(texture, gl);   // changed, but nobody said where
        } else {
            for (const Rect& r : rects) {
                uploadLevel(texture, 0, r, false);
                ++m_counters.textureRectUploads;
            }
            if (texture.smallerLevelsDirty()) {
                for (std::uint32_t l = 1; l < texture.levelCount(); ++l) {
                    uploadLevel(texture, l, Rect{0, 0, int(texture.levelWidth(l)), int(texture.levelHeight(l))},
                                false);
                    ++m_counters.textureLevelUploads;
                }
            }
        }
    } else {
        return;
    }
    gl.changeCount = texture.changeCount();
    texture.clearDirty();
}

void GlRenderer::syncMesh(const DeviceMesh& mesh, GlMesh& gl) {
    if (gl.vao != 0 && gl.changeCount == mesh.changeCount() && gl.vertices == mesh.vertexCount() &&
        gl.format == mesh.format()) {
        return;
    }
    if (gl.vao == 0) {
        glGenVertexArrays(1, &gl.vao);
        glGenBuffers(1, &gl.vbo);
        glGenBuffers(1, &gl.ibo);
    }
    glBindVertexArray(gl.vao);
    glBindBuffer(GL_ARRAY_BUFFER, gl.vbo);
    const std::size_t vbytes = std::size_t(mesh.vertexCount()) * mesh.stride();
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vbytes), mesh.vertexBytes(), GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, gl.ibo);
    const auto idx = mesh.indices();
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(idx.size_bytes()), idx.data(), GL_STATIC_DRAW);

    const GLsizei stride = GLsizei(mesh.stride());
    auto attrib = [&](GLuint loc, GLint size, GLenum type, bool norm, std::size_t offset) {
        glEnableVertexAttribArray(loc);
        glVertexAttribPointer(loc, size, type, norm ? GL_TRUE : GL_FALSE, stride,
                              reinterpret_cast<const void*>(offset));
    };
    for (GLuint loc = 0; loc < 5; ++loc) glDisableVertexAttribArray(loc);
    attrib(0, 3, GL_FLOAT, false, 0);
    attrib(1, 3, GL_FLOAT, false, 12);
    switch (mesh.format()) {
    case VertexFormat::Terrain:
        attrib(2, GL_BGRA, GL_UNSIGNED_BYTE, true, offsetof(TerrainVertex, colour));
        attrib(3, 2, GL_FLOAT, false, offsetof(TerrainVertex, loRes));
        attrib(4, 2, GL_FLOAT, false, offsetof(TerrainVertex, block));
        break;
    case VertexFormat::PositionNormalTex1:
        attrib(3, 2, GL_FLOAT, false, offsetof(PositionNormalTexVertex, tex));
        attrib(4, 2, GL_FLOAT, false, offsetof(PositionNormalTexVertex, tex));
        break;
    case VertexFormat::PositionNormal:
        break;
    }
    glBindVertexArray(0);
    gl.changeCount = mesh.changeCount();
    gl.vertices = mesh.vertexCount();
    gl.indices = std::uint32_t(idx.size());
    gl.format = mesh.format();
    ++m_counters.meshUploads;
    m_counters.bytes += vbytes + idx.size_bytes();
}

void GlRenderer::drawMesh(const DeviceMesh& mesh, DeviceTexture* texture, const DrawState& state) {
    if (m_program == 0) {
        return;
    }
    GlMesh& gl = m_meshes[&mesh];
    syncMesh(mesh, gl);
    if (gl.indices == 0) {
        return;
    }
    glUseProgram(m_program);
    glActiveTexture(GL_TEXTURE0);
    if (texture != nullptr) {
        syncTexture(*texture);
        glBindTexture(GL_TEXTURE_2D, m_textures[texture].name);
    } else {
        glBindTexture(GL_TEXTURE_2D, m_white);
    }
    glBindSampler(0, m_samplers[state.sampler == SamplerKind::Terrain ? 0 : 1]);

    const Matrix wvp = matrixMultiply(m_world, matrixMultiply(m_view, m_projection));
    glUniformMatrix4fv(m_uWorldViewProj, 1, GL_FALSE, &wvp[0][0]);
    glUniformMatrix4fv(m_uWorld, 1, GL_FALSE, &m_world[0][0]);
    glUniform1i(m_uTexSet, state.texCoordSet);
    glUniform1i(m_uHasColour, mesh.format() == VertexFormat::Terrain ? 1 : 0);
    glUniform1i(m_uLighting, state.lighting ? 1 : 0);
    glUniform3fv(m_uLightDir, 1, &m_light.direction[0]);
    glUniform3fv(m_uLightDiffuse, 1, &m_light.diffuse[0]);
    glUniform3fv(m_uAmbient, 1, &m_light.ambient[0]);
    glUniform4fv(m_uMatDiffuse, 1, &state.materialDiffuse[0]);
    glUniform4fv(m_uMatAmbient, 1, &state.materialAmbient[0]);
    glUniform1i(m_uColourOp, state.colourOp == ColourOp::BlendTextureAlpha ? 0
                             : state.colourOp == ColourOp::SelectTexture   ? 1
                                                                           : 2);
    glUniform1i(m_uOpaque, state.blend ? 0 : 1);
    glUniform1i(m_uClamp, state.clampTexCoords ? 1 : 0);
    glUniform4fv(m_uTexClamp, 1, &state.texClamp[0]);

    glPolygonMode(GL_FRONT_AND_BACK, state.wireframe ? GL_LINE : GL_FILL);
    if (state.cullClockwise) {
        // Clockwise on screen is clockwise in GL's y-up window space too: keep the others.
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CCW);
        glCullFace(GL_BACK);
    } else {
        glDisable(GL_CULL_FACE);
    }
    if (state.blend) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    } else {
        glDisable(GL_BLEND);
    }
    glBindVertexArray(gl.vao);
    glDrawElements(GL_TRIANGLES, GLsizei(gl.indices), GL_UNSIGNED_SHORT, nullptr);
    glBindVertexArray(0);
}

}  // namespace lnd
