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
    bool initialized() const { return m_program != 0; }
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

    // Draws every face of the mesh with `texture` bound (none: the stage sees white).
    void drawMesh(const DeviceMesh& mesh, DeviceTexture* texture, const DrawState& state);

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
    };

    void uploadWholeTexture(DeviceTexture& texture, GlTexture& gl);
    void uploadLevel(const DeviceTexture& texture, std::uint32_t level, const Rect& rect, bool allocate);
    void syncMesh(const DeviceMesh& mesh, GlMesh& gl);
    void deleteTexture(GlTexture& gl);
    void deleteMesh(GlMesh& gl);

    unsigned m_program = 0;
    unsigned m_samplers[2] = {0, 0};
    unsigned m_white = 0;
    bool m_s3tc = false;
    float m_maxAnisotropy = 1.0f;
    int m_uWorldViewProj = -1, m_uWorld = -1, m_uTexSet = -1, m_uColourOp = -1, m_uLighting = -1;
    int m_uLightDir = -1, m_uLightDiffuse = -1, m_uAmbient = -1, m_uMatDiffuse = -1, m_uMatAmbient = -1;
    int m_uHasColour = -1, m_uOpaque = -1, m_uClamp = -1, m_uTexClamp = -1;

    Matrix m_world = matrixIdentity();
    Matrix m_view = matrixIdentity();
    Matrix m_projection = matrixIdentity();
    DirectionalLight m_light;

    std::unordered_map<const DeviceTexture*, GlTexture> m_textures;
    std::unordered_map<const DeviceMesh*, GlMesh> m_meshes;
    std::vector<std::uint8_t> m_scratch;   // gathers rectangles; grows, never shrinks
    UploadCounters m_counters;
};

}  // namespace lnd
