// A mesh read from a model file (the 3-D cursor): subsets by material, each material with
// its colours and an optional texture found like any other media file.
#pragma once

#include "d3dframework/host/host_result.h"
#include "d3dframework/mesh.h"
#include "d3dframework/texture.h"

#include <glm/vec4.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lnd {

struct MeshMaterial {
    glm::vec4 diffuse{1.0f};
    glm::vec4 ambient{1.0f};
    glm::vec4 specular{0.0f};
    glm::vec4 emissive{0.0f};
    float power = 0.0f;
    std::string textureFile;
};

class CD3DFile_Mesh {
public:
    explicit CD3DFile_Mesh(std::string name = "CD3DFile_Mesh");
    ~CD3DFile_Mesh();
    CD3DFile_Mesh(const CD3DFile_Mesh&) = delete;
    CD3DFile_Mesh& operator=(const CD3DFile_Mesh&) = delete;

    // Reads the model (located with locateMediaFile in `mediaDir`): one system mesh per
    // material in the layout position-normal-texture, materials with ambient = diffuse and
    // their textures (left empty when a texture cannot be read). kHostMediaNotFound when the
    // file is not found, kHostFail when it cannot be read; the object is then empty.
    HostResult create(const std::string& fileName, const std::string& mediaDir);

    // Replaces system and device meshes by copies in `format` with recomputed normals; on a
    // failure (kHostFail) the old meshes stay.
    HostResult setVertexFormat(VertexFormat format);

    HostResult restoreDeviceObjects();
    void invalidateDeviceObjects();
    void destroy();

    // What render() hands the drawer for one subset: the device mesh, its material (null
    // when materials are off) and texture (may be null).
    using DrawSubset = std::function<void(const DeviceMesh&, const MeshMaterial*, const DeviceTexture*)>;

    // Draws the opaque subsets (diffuse alpha not below 1) when `opaque`, then, with
    // materials on, the translucent ones (diffuse alpha not exactly 1) when `translucent`.
    // Fails with kHostFail without device meshes.
    HostResult render(const DrawSubset& draw, bool opaque, bool translucent) const;

    const std::string& name() const { return m_name; }
    std::size_t materialCount() const { return m_materials.size(); }
    const MeshMaterial& material(std::size_t i) const { return m_materials[i]; }
    const DeviceTexture* texture(std::size_t i) const { return m_textures[i].get(); }
    const std::vector<std::unique_ptr<DeviceMesh>>& systemMeshes() const { return m_systemMeshes; }
    const std::vector<std::unique_ptr<DeviceMesh>>& deviceMeshes() const { return m_deviceMeshes; }
    bool loaded() const { return !m_systemMeshes.empty(); }

    bool m_useMaterials = true;

private:
    std::string m_name;
    // One mesh per material (index = material number); a material no face uses has none.
    std::vector<std::unique_ptr<DeviceMesh>> m_systemMeshes;
    std::vector<std::unique_ptr<DeviceMesh>> m_deviceMeshes;
    std::vector<MeshMaterial> m_materials;
    std::vector<std::unique_ptr<DeviceTexture>> m_textures;
};

// A texture from an image file of any kind the image reader knows (PNG, BMP, TGA, JPEG), as
// A8R8G8B8 with its smaller levels; kHostFail when it cannot be read.
HostResult createTextureFromImageFile(const std::string& path, std::unique_ptr<DeviceTexture>& out);

}  // namespace lnd
