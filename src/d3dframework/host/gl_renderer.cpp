#include "d3dframework/host/gl_renderer.h"

#include "codec/dxt3.h"

#include <QOpenGLContext>

#include <algorithm>
#include <cstring>
#include <string>

namespace lnd {

namespace {

constexpr unsigned kCompressedRgbaDxt3 = 0x83F2;

// The shaders are compiled once per combination of stage states; each combination comes in
// as #defines, so a pixel runs only the code its state needs.
const char* kVertexShader = R"(
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec4 aColour;
layout(location = 3) in vec2 aTex0;
layout(location = 4) in vec2 aTex1;
uniform mat4 uWorldViewProj;
#if LIGHTING
uniform mat4 uWorld;
uniform vec3 uLightDir;
uniform vec3 uLightDiffuse;
uniform vec3 uAmbient;
uniform vec4 uMatDiffuse;
uniform vec4 uMatAmbient;
#endif
out vec4 vColour;
out vec2 vTex;
void main() {
    // Matrices arrive as rows of row-vector transforms, which GLSL reads as M * v.
    gl_Position = uWorldViewProj * vec4(aPosition, 1.0);
    gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;   // depth 0..1 to GL's -1..1
#if LIGHTING
    vec3 n = normalize(mat3(uWorld) * aNormal);
    float d = max(dot(n, -uLightDir), 0.0);
    vColour = vec4(uAmbient * uMatAmbient.rgb + d * uLightDiffuse * uMatDiffuse.rgb, uMatDiffuse.a);
#elif HAS_COLOUR
    vColour = aColour;
#else
    vColour = vec4(1.0);
#endif
#if TEX_SET == 1
    vTex = aTex1;
#else
    vTex = aTex0;
#endif
}
)";

const char* kFragmentShader = R"(
in vec4 vColour;
in vec2 vTex;
uniform sampler2D uTexture;
#if CLAMP
uniform vec4 uTexClamp;
#endif
out vec4 fragColour;
void main() {
#if COLOUR_OP != 2
#if CLAMP
    vec4 t = texture(uTexture, clamp(vTex, uTexClamp.xy, uTexClamp.zw));
#else
    vec4 t = texture(uTexture, vTex);
#endif
#endif
#if COLOUR_OP == 0
    vec3 c = t.rgb * t.a + vColour.rgb * (1.0 - t.a);
#elif COLOUR_OP == 1
    vec3 c = t.rgb;
#else
    vec3 c = vColour.rgb;
#endif
#if OPAQUE
    fragColour = vec4(c, 1.0);
#else
    fragColour = vec4(c, vColour.a);
#endif
}
)";

// Bits of a program key.
constexpr std::uint32_t kKeyColourOp = 3u;   // 0 blend by texture alpha, 1 select texture, 2 diffuse
constexpr std::uint32_t kKeyTexSet1 = 1u << 2;
constexpr std::uint32_t kKeyHasColour = 1u << 3;
constexpr std::uint32_t kKeyLighting = 1u << 4;
constexpr std::uint32_t kKeyOpaque = 1u << 5;
constexpr std::uint32_t kKeyClamp = 1u << 6;

std::string shaderDefines(std::uint32_t key) {
    std::string d = "#version 330 core\n";
    d += "#define COLOUR_OP " + std::to_string(key & kKeyColourOp) + "\n";
    d += "#define TEX_SET " + std::string((key & kKeyTexSet1) ? "1" : "0") + "\n";
    d += "#define HAS_COLOUR " + std::string((key & kKeyHasColour) ? "1" : "0") + "\n";
    d += "#define LIGHTING " + std::string((key & kKeyLighting) ? "1" : "0") + "\n";
    d += "#define OPAQUE " + std::string((key & kKeyOpaque) ? "1" : "0") + "\n";
    d += "#define CLAMP " + std::string((key & kKeyClamp) ? "1" : "0") + "\n";
    return d;
}

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
    m_programs.clear();
    // The terrain's program now: a context that cannot run it cannot run the others either.
    DrawState terrain;
    if (program(programKey(terrain, VertexFormat::Terrain)) == nullptr) {
        error = m_programError;
        m_programs.clear();
        return false;
    }

    glGenSamplers(2, m_samplers);
    // Terrain: point minification and mip choice, smooth magnification. The stage's
    // anisotropic magnification runs at the device's default degree of one, which is plain
    // linear filtering; anisotropy here would filter the minified (distant) texels the stage
    // samples by point, and costs a software rasteriser most of its frame.
    glSamplerParameteri(m_samplers[0], GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_NEAREST);
    glSamplerParameteri(m_samplers[0], GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // A block texture covers its block exactly: wrapping would filter the far edge into the
    // near one and draw a seam along every block border.
    glSamplerParameteri(m_samplers[0], GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(m_samplers[0], GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(m_samplers[1], GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
    glSamplerParameteri(m_samplers[1], GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    // What an empty texture slot samples: opaque white, so "select texture" keeps the colour.
    glGenTextures(1, &m_white);
    glBindTexture(GL_TEXTURE_2D, m_white);
    const std::uint32_t white = 0xFFFFFFFFu;
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, &white);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    m_ready = true;
    m_boundProgram = m_boundTexture = m_boundSampler = 0;
    m_fillState = m_cullState = m_blendState = -1;
    return true;
}

std::uint32_t GlRenderer::programKey(const DrawState& state, VertexFormat format) {
    std::uint32_t key = state.colourOp == ColourOp::BlendTextureAlpha ? 0u
                        : state.colourOp == ColourOp::SelectTexture   ? 1u
                                                                      : 2u;
    if (state.texCoordSet == 1) key |= kKeyTexSet1;
    if (format == VertexFormat::Terrain) key |= kKeyHasColour;
    if (state.lighting) key |= kKeyLighting;
    if (!state.blend) key |= kKeyOpaque;
    if (state.clampTexCoords) key |= kKeyClamp;
    return key;
}

const GlRenderer::Program* GlRenderer::program(std::uint32_t key) {
    auto found = m_programs.find(key);
    if (found != m_programs.end()) {
        return found->second.name != 0 ? &found->second : nullptr;
    }
    Program& p = m_programs[key];   // stays empty when it cannot be made: not tried again
    const std::string defines = shaderDefines(key);
    auto compile = [&](GLenum type, const char* body) -> GLuint {
        const GLuint sh = glCreateShader(type);
        const char* parts[2] = {defines.c_str(), body};
        glShaderSource(sh, 2, parts, nullptr);
        glCompileShader(sh);
        GLint ok = 0;
        glGetShaderiv(sh, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            char log[1024] = {};
            glGetShaderInfoLog(sh, sizeof log, nullptr, log);
            m_programError = log;
            glDeleteShader(sh);
            return 0;
        }
        return sh;
    };
    const GLuint vs = compile(GL_VERTEX_SHADER, kVertexShader);
    const GLuint fs = vs ? compile(GL_FRAGMENT_SHADER, kFragmentShader) : 0;
    if (fs == 0) {
        if (vs) glDeleteShader(vs);
        return nullptr;
    }
    const GLuint name = glCreateProgram();
    glAttachShader(name, vs);
    glAttachShader(name, fs);
    glLinkProgram(name);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint linked = 0;
    glGetProgramiv(name, GL_LINK_STATUS, &linked);
    if (!linked) {
        m_programError = "shader link failed";
        glDeleteProgram(name);
        return nullptr;
    }
    p.name = name;
    p.uWorldViewProj = glGetUniformLocation(name, "uWorldViewProj");
    p.uWorld = glGetUniformLocation(name, "uWorld");
    p.uLightDir = glGetUniformLocation(name, "uLightDir");
    p.uLightDiffuse = glGetUniformLocation(name, "uLightDiffuse");
    p.uAmbient = glGetUniformLocation(name, "uAmbient");
    p.uMatDiffuse = glGetUniformLocation(name, "uMatDiffuse");
    p.uMatAmbient = glGetUniformLocation(name, "uMatAmbient");
    p.uTexClamp = glGetUniformLocation(name, "uTexClamp");
    glUseProgram(name);
    m_boundProgram = name;
    glUniform1i(glGetUniformLocation(name, "uTexture"), 0);
    return &p;
}

void GlRenderer::releaseAll() {
    if (!m_ready) {
        m_pending.clear();
        m_textures.clear();
        m_meshes.clear();
        return;
    }
    forgetAll();
    glDeleteSamplers(2, m_samplers);
    glDeleteTextures(1, &m_white);
    for (auto& [key, p] : m_programs) {
        if (p.name != 0) glDeleteProgram(p.name);
    }
    m_programs.clear();
    m_ready = false;
    m_white = 0;
    m_samplers[0] = m_samplers[1] = 0;
}

void GlRenderer::deleteTexture(GlTexture& gl) {
    if (gl.name != 0 && m_ready) {
        glDeleteTextures(1, &gl.name);
        if (m_boundTexture == gl.name) m_boundTexture = 0;
    }
    gl.name = 0;
}

void GlRenderer::deleteMesh(GlMesh& gl) {
    if (gl.vao != 0 && m_ready) {
        glDeleteVertexArrays(1, &gl.vao);
        glDeleteBuffers(1, &gl.vbo);
        glDeleteBuffers(1, &gl.ibo);
    }
    gl = GlMesh{};
}

void GlRenderer::forget(const DeviceTexture* texture) {
    auto it = m_textures.find(texture);
    if (it != m_textures.end()) {
        endFrame();   // collected draws may still use it
        deleteTexture(it->second);
        m_textures.erase(it);
    }
}

void GlRenderer::forget(const DeviceMesh* mesh) {
    auto it = m_meshes.find(mesh);
    if (it != m_meshes.end()) {
        endFrame();
        deleteMesh(it->second);
        m_meshes.erase(it);
    }
}

void GlRenderer::forgetAll() {
    endFrame();
    for (auto& [key, gl] : m_textures) deleteTexture(gl);
    for (auto& [key, gl] : m_meshes) deleteMesh(gl);
    m_textures.clear();
    m_meshes.clear();
}

void GlRenderer::beginFrame(int width, int height, std::uint32_t clearArgb, float depth) {
    endFrame();
    // Whatever touched the context between frames (the widget's own framebuffer work, a
    // picture grab) may have changed the state we remember.
    m_boundProgram = m_boundTexture = m_boundSampler = 0;
    m_fillState = m_cullState = m_blendState = -1;
    glViewport(0, 0, width, height);
    glClearColor(((clearArgb >> 16) & 0xFF) / 255.0f, ((clearArgb >> 8) & 0xFF) / 255.0f,
                 (clearArgb & 0xFF) / 255.0f, 1.0f);
    glClearDepth(depth);
    glClearStencil(0);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glActiveTexture(GL_TEXTURE0);
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
    m_boundTexture = gl.name;
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
        m_boundTexture = gl.name;
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
    glm::vec3 lo(0.0f), hi(0.0f);
    if (mesh.vertexCount() > 0 && computeBoundingBox(mesh.vertexBytes(), mesh.vertexCount(), mesh.stride(), lo, hi) == kDeviceOk) {
        gl.centre = (lo + hi) * 0.5f;
    } else {
        gl.centre = glm::vec3(0.0f);
    }
    gl.changeCount = mesh.changeCount();
    gl.vertices = mesh.vertexCount();
    gl.indices = std::uint32_t(idx.size());
    gl.format = mesh.format();
    ++m_counters.meshUploads;
    m_counters.bytes += vbytes + idx.size_bytes();
}

void GlRenderer::drawMesh(const DeviceMesh& mesh, DeviceTexture* texture, const DrawState& state) {
    if (!m_ready) {
        return;
    }
    GlMesh& gl = m_meshes[&mesh];
    syncMesh(mesh, gl);
    if (gl.indices == 0) {
        return;
    }
    if (texture != nullptr) {
        syncTexture(*texture);
    }
    PendingDraw d;
    d.mesh = &mesh;
    d.texture = texture;
    d.state = state;
    d.world = m_world;
    // Distance along the line of sight of the mesh's middle: the order within opaque runs.
    d.depth = vec3TransformCoord(gl.centre, matrixMultiply(m_world, m_view)).z;
    m_pending.push_back(d);
}

void GlRenderer::endFrame() {
    if (m_pending.empty()) {
        return;
    }
    // Opaque draws between two translucent ones (or the ends) may go in any order: the depth
    // test gives the same picture, and nearest first leaves the farther pixels unshaded.
    // Translucent draws blend with what is drawn before them, so they keep their place.
    m_order.resize(m_pending.size());
    for (std::size_t i = 0; i < m_order.size(); ++i) m_order[i] = i;
    std::size_t runStart = 0;
    for (std::size_t i = 0; i <= m_pending.size(); ++i) {
        if (i == m_pending.size() || m_pending[i].state.blend) {
            std::stable_sort(m_order.begin() + std::ptrdiff_t(runStart), m_order.begin() + std::ptrdiff_t(i),
                             [this](std::size_t a, std::size_t b) { return m_pending[a].depth < m_pending[b].depth; });
            runStart = i + 1;
        }
    }
    for (const std::size_t i : m_order) submit(m_pending[i]);
    m_pending.clear();
    glBindVertexArray(0);
}

void GlRenderer::submit(const PendingDraw& d) {
    const GlMesh& gl = m_meshes[d.mesh];
    const DrawState& state = d.state;
    const Program* p = program(programKey(state, d.mesh->format()));
    if (p == nullptr || gl.vao == 0 || gl.indices == 0) {
        return;
    }
    if (m_boundProgram != p->name) {
        glUseProgram(p->name);
        m_boundProgram = p->name;
    }
    const unsigned textureName = d.texture != nullptr ? m_textures[d.texture].name : m_white;
    if (m_boundTexture != textureName) {
        glBindTexture(GL_TEXTURE_2D, textureName);
        m_boundTexture = textureName;
    }
    const unsigned sampler = m_samplers[state.sampler == SamplerKind::Terrain ? 0 : 1];
    if (m_boundSampler != sampler) {
        glBindSampler(0, sampler);
        m_boundSampler = sampler;
    }

    const Matrix wvp = matrixMultiply(d.world, matrixMultiply(m_view, m_projection));
    glUniformMatrix4fv(p->uWorldViewProj, 1, GL_FALSE, &wvp[0][0]);
    if (state.lighting) {
        glUniformMatrix4fv(p->uWorld, 1, GL_FALSE, &d.world[0][0]);
        glUniform3fv(p->uLightDir, 1, &m_light.direction[0]);
        glUniform3fv(p->uLightDiffuse, 1, &m_light.diffuse[0]);
        glUniform3fv(p->uAmbient, 1, &m_light.ambient[0]);
        glUniform4fv(p->uMatDiffuse, 1, &state.materialDiffuse[0]);
        glUniform4fv(p->uMatAmbient, 1, &state.materialAmbient[0]);
    }
    if (state.clampTexCoords) {
        glUniform4fv(p->uTexClamp, 1, &state.texClamp[0]);
    }

    const int fill = state.wireframe ? 1 : 0;
    if (m_fillState != fill) {
        glPolygonMode(GL_FRONT_AND_BACK, state.wireframe ? GL_LINE : GL_FILL);
        m_fillState = fill;
    }
    const int cull = state.cullClockwise ? 1 : 0;
    if (m_cullState != cull) {
        if (state.cullClockwise) {
            // Clockwise on screen is clockwise in GL's y-up window space too: keep the others.
            glEnable(GL_CULL_FACE);
            glFrontFace(GL_CCW);
            glCullFace(GL_BACK);
        } else {
            glDisable(GL_CULL_FACE);
        }
        m_cullState = cull;
    }
    const int blend = state.blend ? 1 : 0;
    if (m_blendState != blend) {
        if (state.blend) {
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        } else {
            glDisable(GL_BLEND);
        }
        m_blendState = blend;
    }
    glBindVertexArray(gl.vao);
    glDrawElements(GL_TRIANGLES, GLsizei(gl.indices), GL_UNSIGNED_SHORT, nullptr);
}

}  // namespace lnd
