// Mirrors the device layer's textures and meshes on an OpenGL 3.3 core context and draws
// them with shaders that stand in for the fixed-function stage states the view sets.
//
// Objects are mirrored by address: the first draw uploads, later draws upload only what the
// object's change counter and dirty rectangles say changed. Whoever releases a device object
// that was drawn calls forget() (or forgetAll() when every device object goes), so a new
// object at a reused address is never mistaken for the old one.
#pragma once

#include "d3dframework/device_math.h"
#include "d3dframework/mesh.h"
#include "d3dframework/texture.h"

#include <QOpenGLFunctions_3_3_Core>

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace lnd {

// How stage 0 makes a pixel's colour.
enum class ColourOp {
    BlendTextureAlpha,   // texture * texture alpha + vertex colour * (1 - texture alpha)
    SelectTexture,       // the texture alone
    Diffuse,             // the vertex (or lit material) colour alone
};

enum class SamplerKind {
    Terrain,   // point minification and mip selection, smooth magnification
    Linear,    // linear minification and magnification
};

struct DrawState {
    ColourOp colourOp = ColourOp::BlendTextureAlpha;
    SamplerKind sampler = SamplerKind::Terrain;
    int texCoordSet = 0;           // which texture pair of a two-pair vertex
    bool wireframe = false;
    bool cullClockwise = true;     // cull triangles that appear clockwise on screen
    bool lighting = false;
    bool blend = false;            // frame-buffer alpha blending (translucent subsets)
    glm::vec4 materialDiffuse{1.0f};
    glm::vec4 materialAmbient{1.0f};
    // Texture coordinates are kept inside (min u, min v, max u, max v) when set: a mesh that
    // maps one tile of a texture shared with other tiles never filters in its neighbours.
    bool clampTexCoords = false;
    glm::vec4 texClamp{0.0f, 0.0f, 1.0f, 1.0f};
};

// The range of texture coordinates that samples only the texels of the tile (x, y, width,
// height in texels) of a `textureWidth` x `textureHeight` texture: texel centres of its
// border, so smooth magnification stays inside the tile too.
glm::vec4 tileTexClamp(int x, int y, int width, int height, int textureWidth, int textureHeight);

struct DirectionalLight {
    glm::vec3 direction{0.0f, -1.0f, 0.0f};   // where the light travels
    glm::vec3 diffuse{1.0f};
    glm::vec3 ambient{0.125f};
};

struct UploadCounters {
    std::uint64_t textureCreates = 0;     // whole textures (all levels) sent
    std::uint64_t textureRectUploads = 0; // level-0 rectangles sent
    std::uint64_t textureLevelUploads = 0;// smaller levels re-sent after a change
    std::uint64_t meshUploads = 0;        // vertex and index buffers sent
    std::uint64_t bytes = 0;
};

class GlRenderer : protected QOpenGLFunctions_3_3_Core {
public:
    GlRenderer() = default;
    ~GlRenderer();
    GlRenderer(const GlRenderer&) = delete;
    GlRenderer& operator=(const GlRenderer&) = delete;

    // Compiles the shaders on the current context; false (with `error`) when the context
    // cannot run them.
    bool initialize(std::string& error);
    bool initialized() const { return m_ready; }
    // Drops every GL object; call with the context current (or when it is going away).
    void releaseAll();

    void forget(const DeviceTexture* texture);
    void forget(const DeviceMesh* mesh);
    void forgetAll();

    // Clears colour (alpha-red-green-blue word) and depth and sets the viewport.
    void beginFrame(int width, int height, std::uint32_t clearArgb, float depth);

    void setTransforms(const Matrix& world, const Matrix& view, const Matrix& projection);
    void setWorld(const Matrix& world);
    void setLight(const DirectionalLight& light) { m_light = light; }

    // Draws every face of the mesh with `texture` bound (none: the stage sees white). Draws
    // are collected and sent at endFrame (or before anything that needs them sent): runs of
    // opaque draws go nearest first, so the depth test spares the shading of hidden pixels;
    // translucent draws keep their place in the order.
    void drawMesh(const DeviceMesh& mesh, DeviceTexture* texture, const DrawState& state);
    // Sends the collected draws; the frame's picture is complete afterwards.
    void endFrame();

    // Makes sure the GPU copy of a texture is current (uploading only what changed).
    void syncTexture(DeviceTexture& texture);

    const UploadCounters& counters() const { return m_counters; }
    bool compressedTextures() const { return m_s3tc; }
    std::size_t mirroredTextures() const { return m_textures.size(); }
    std::size_t mirroredMeshes() const { return m_meshes.size(); }

private:
    struct GlTexture {
        unsigned name = 0;
        std::uint64_t changeCount = 0;
        std::uint32_t width = 0, height = 0, levels = 0;
        TextureFormat format = TextureFormat::A8R8G8B8;
    };
    struct GlMesh {
        unsigned vao = 0, vbo = 0, ibo = 0;
        std::uint64_t changeCount = 0;
        std::uint32_t vertices = 0, indices = 0;
        VertexFormat format = VertexFormat::Terrain;
        glm::vec3 centre{0.0f};   // of the vertex bounds: the draw order's depth key
    };
    // One shader program per combination of the stage states a draw uses, so the shaders
    // carry no per-pixel branches on state.
    struct Program {
        unsigned name = 0;
        int uWorldViewProj = -1, uWorld = -1, uLightDir = -1, uLightDiffuse = -1, uAmbient = -1;
        int uMatDiffuse = -1, uMatAmbient = -1, uTexClamp = -1;
    };
    struct PendingDraw {
        const DeviceMesh* mesh = nullptr;
        DeviceTexture* texture = nullptr;
        DrawState state;
        Matrix world;
        float depth = 0.0f;
    };

    static std::uint32_t programKey(const DrawState& state, VertexFormat format);
    const Program* program(std::uint32_t key);
    void submit(const PendingDraw& draw);
    void uploadWholeTexture(DeviceTexture& texture, GlTexture& gl);
    void uploadLevel(const DeviceTexture& texture, std::uint32_t level, const Rect& rect, bool allocate);
    void syncMesh(const DeviceMesh& mesh, GlMesh& gl);
    void deleteTexture(GlTexture& gl);
    void deleteMesh(GlMesh& gl);

    std::unordered_map<std::uint32_t, Program> m_programs;
    unsigned m_samplers[2] = {0, 0};
    unsigned m_white = 0;
    bool m_ready = false;
    bool m_s3tc = false;
    std::string m_programError;

    Matrix m_world = matrixIdentity();
    Matrix m_view = matrixIdentity();
    Matrix m_projection = matrixIdentity();
    DirectionalLight m_light;

    // GL state as last set, so a draw changes only what differs (0 / -1: not known).
    unsigned m_boundProgram = 0;
    unsigned m_boundTexture = 0;
    unsigned m_boundSampler = 0;
    int m_fillState = -1, m_cullState = -1, m_blendState = -1;

    std::vector<PendingDraw> m_pending;
    std::vector<std::size_t> m_order;
    std::unordered_map<const DeviceTexture*, GlTexture> m_textures;
    std::unordered_map<const DeviceMesh*, GlMesh> m_meshes;
    std::vector<std::uint8_t> m_scratch;   // gathers rectangles; grows, never shrinks
    UploadCounters m_counters;
};

}  // namespace lnd
