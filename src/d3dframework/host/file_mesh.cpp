#include "d3dframework/host/file_mesh.h"

#include "d3dframework/host/media_file.h"

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include <cstring>
#include <utility>

namespace lnd {

namespace {

glm::vec4 colourOf(const aiMaterial& m, const char* key, unsigned type, unsigned index, glm::vec4 fallback) {
    aiColor4D c;
    if (m.Get(key, type, index, c) == aiReturn_SUCCESS) {
        return {c.r, c.g, c.b, c.a};
    }
    return fallback;
}

MeshMaterial materialOf(const aiMaterial& m) {
    MeshMaterial out;
    out.diffuse = colourOf(m, AI_MATKEY_COLOR_DIFFUSE, glm::vec4(1.0f));
    float opacity = 1.0f;
    if (m.Get(AI_MATKEY_OPACITY, opacity) == aiReturn_SUCCESS) {
        out.diffuse.a = opacity;
    }
    // The model's lighting sees its own colour in the ambient light too.
    out.ambient = out.diffuse;
    out.specular = colourOf(m, AI_MATKEY_COLOR_SPECULAR, glm::vec4(0.0f));
    out.emissive = colourOf(m, AI_MATKEY_COLOR_EMISSIVE, glm::vec4(0.0f));
    m.Get(AI_MATKEY_SHININESS, out.power);
    aiString tex;
    if (m.GetTextureCount(aiTextureType_DIFFUSE) > 0 &&
        m.GetTexture(aiTextureType_DIFFUSE, 0, &tex) == aiReturn_SUCCESS && tex.length > 0 && tex.data[0] != '*') {
        out.textureFile = tex.C_Str();
    }
    return out;
}

// All faces of the scene that use material `mat`, in one mesh of the textured layout.
DeviceResult buildSubset(const aiScene& scene, unsigned mat, std::unique_ptr<DeviceMesh>& out) {
    std::uint32_t vertices = 0;
    std::uint32_t faces = 0;
    for (unsigned i = 0; i < scene.mNumMeshes; ++i) {
        const aiMesh& m = *scene.mMeshes[i];
        if (m.mMaterialIndex == mat && (m.mPrimitiveTypes & aiPrimitiveType_TRIANGLE)) {
            vertices += m.mNumVertices;
            for (unsigned f = 0; f < m.mNumFaces; ++f) {
                faces += m.mFaces[f].mNumIndices == 3 ? 1 : 0;
            }
        }
    }
    if (faces == 0) {
        return kDeviceOk;   // nothing uses it
    }
    if (vertices > kMaxMeshVertices) {
        return kDeviceOutOfMemory;
    }
    DeviceResult r = DeviceMesh::create(faces, vertices, VertexFormat::PositionNormalTex1, out);
    if (deviceFailed(r)) {
        return r;
    }
    void* vb = nullptr;
    std::uint16_t* ib = nullptr;
    if (deviceFailed(r = out->lockVertexBuffer(LockMode::ReadWrite, vb))) {
        return r;
    }
    if (deviceFailed(r = out->lockIndexBuffer(LockMode::ReadWrite, ib))) {
        out->unlockVertexBuffer();
        return r;
    }
    auto* v = static_cast<PositionNormalTexVertex*>(vb);
    std::uint32_t base = 0;
    for (unsigned i = 0; i < scene.mNumMeshes; ++i) {
        const aiMesh& m = *scene.mMeshes[i];
        if (m.mMaterialIndex != mat || !(m.mPrimitiveTypes & aiPrimitiveType_TRIANGLE)) {
            continue;
        }
        for (unsigned k = 0; k < m.mNumVertices; ++k) {
            PositionNormalTexVertex& dst = v[base + k];
            dst.position = {m.mVertices[k].x, m.mVertices[k].y, m.mVertices[k].z};
            dst.normal = m.mNormals ? glm::vec3(m.mNormals[k].x, m.mNormals[k].y, m.mNormals[k].z) : glm::vec3(0.0f);
            dst.tex = m.mTextureCoords[0] ? glm::vec2(m.mTextureCoords[0][k].x, m.mTextureCoords[0][k].y)
                                          : glm::vec2(0.0f);
        }
        for (unsigned f = 0; f < m.mNumFaces; ++f) {
            const aiFace& face = m.mFaces[f];
            if (face.mNumIndices != 3) {
                continue;
            }
            for (unsigned c = 0; c < 3; ++c) {
                *ib++ = static_cast<std::uint16_t>(base + face.mIndices[c]);
            }
        }
        base += m.mNumVertices;
    }
    out->unlockIndexBuffer();
    out->unlockVertexBuffer();
    return kDeviceOk;
}

}  // namespace

HostResult createTextureFromImageFile(const std::string& path, std::unique_ptr<DeviceTexture>& out) {
    int w = 0;
    int h = 0;
    int channels = 0;
    stbi_uc* pixels = stbi_load(path.c_str(), &w, &h, &channels, 4);
    if (pixels == nullptr) {
        return kHostFail;
    }
    HostResult result = kHostFail;
    std::unique_ptr<DeviceTexture> tex;
    if (w > 0 && h > 0 && static_cast<std::uint32_t>(w) <= kMaxTextureSize &&
        static_cast<std::uint32_t>(h) <= kMaxTextureSize &&
        !deviceFailed(DeviceTexture::create(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h), 0,
                                            TextureFormat::A8R8G8B8, tex))) {
        LockedRect lr;
        if (!deviceFailed(tex->lockRect(0, lr, nullptr, LockMode::ReadWrite))) {
            for (int y = 0; y < h; ++y) {
                const stbi_uc* src = pixels + static_cast<std::size_t>(y) * w * 4;
                std::uint8_t* dst = lr.bits + static_cast<std::size_t>(y) * lr.pitch;
                for (int x = 0; x < w; ++x) {   // RGBA to the texture's blue-green-red-alpha
                    dst[4 * x + 0] = src[4 * x + 2];
                    dst[4 * x + 1] = src[4 * x + 1];
                    dst[4 * x + 2] = src[4 * x + 0];
                    dst[4 * x + 3] = src[4 * x + 3];
                }
            }
            tex->unlockRect(0);
            if (!deviceFailed(filterTexture(*tex))) {
                out = std::move(tex);
                result = kHostOk;
            }
        }
    }
    stbi_image_free(pixels);
    return result;
}

CD3DFile_Mesh::CD3DFile_Mesh(std::string name) : m_name(std::move(name)) {}

CD3DFile_Mesh::~CD3DFile_Mesh() = default;

HostResult CD3DFile_Mesh::create(const std::string& fileName, const std::string& mediaDir) {
    destroy();
    std::string path;
    if (hostFailed(locateMediaFile(&path, fileName.c_str(), mediaDir))) {
        return kHostMediaNotFound;
    }
    Assimp::Importer importer;
    // Compact, grouped by material, in vertex-cache order; left-handed like the world.
    const unsigned flags = aiProcess_Triangulate | aiProcess_JoinIdenticalVertices | aiProcess_SortByPType |
                           aiProcess_PreTransformVertices | aiProcess_ImproveCacheLocality |
                           aiProcess_OptimizeMeshes | aiProcess_RemoveRedundantMaterials |
                           aiProcess_SplitLargeMeshes | aiProcess_ConvertToLeftHanded |
                           aiProcess_ValidateDataStructure;
    const aiScene* scene = importer.ReadFile(path, flags);
    if (scene == nullptr || scene->mNumMeshes == 0 || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE)) {
        return kHostFail;
    }
    const unsigned materials = scene->mNumMaterials > 0 ? scene->mNumMaterials : 1;
    m_materials.resize(materials);
    m_textures.resize(materials);
    m_systemMeshes.resize(materials);
    bool any = false;
    for (unsigned i = 0; i < materials; ++i) {
        if (i < scene->mNumMaterials) {
            m_materials[i] = materialOf(*scene->mMaterials[i]);
        }
        if (deviceFailed(buildSubset(*scene, i, m_systemMeshes[i]))) {
            destroy();
            return kHostFail;
        }
        any = any || m_systemMeshes[i] != nullptr;
        if (!m_materials[i].textureFile.empty()) {
            std::string texPath;
            if (!hostFailed(locateMediaFile(&texPath, m_materials[i].textureFile.c_str(), mediaDir))) {
                createTextureFromImageFile(texPath, m_textures[i]);   // stays empty on failure
            }
        }
    }
    if (!any) {
        destroy();
        return kHostFail;
    }
    return kHostOk;
}

HostResult CD3DFile_Mesh::setVertexFormat(VertexFormat format) {
    std::vector<std::unique_ptr<DeviceMesh>> system(m_systemMeshes.size());
    std::vector<std::unique_ptr<DeviceMesh>> device(m_deviceMeshes.size());
    for (std::size_t i = 0; i < m_systemMeshes.size(); ++i) {
        if (m_systemMeshes[i] == nullptr) {
            continue;
        }
        if (deviceFailed(cloneMesh(*m_systemMeshes[i], format, system[i])) ||
            deviceFailed(computeNormals(*system[i]))) {
            return kHostFail;
        }
    }
    for (std::size_t i = 0; i < m_deviceMeshes.size(); ++i) {
        if (m_deviceMeshes[i] == nullptr) {
            continue;
        }
        if (deviceFailed(cloneMesh(*m_deviceMeshes[i], format, device[i])) ||
            deviceFailed(computeNormals(*device[i]))) {
            return kHostFail;
        }
    }
    m_systemMeshes = std::move(system);
    m_deviceMeshes = std::move(device);
    return kHostOk;
}

HostResult CD3DFile_Mesh::restoreDeviceObjects() {
    std::vector<std::unique_ptr<DeviceMesh>> device(m_systemMeshes.size());
    for (std::size_t i = 0; i < m_systemMeshes.size(); ++i) {
        if (m_systemMeshes[i] != nullptr &&
            deviceFailed(cloneMesh(*m_systemMeshes[i], m_systemMeshes[i]->format(), device[i]))) {
            return kHostFail;
        }
    }
    m_deviceMeshes = std::move(device);
    return kHostOk;
}

void CD3DFile_Mesh::invalidateDeviceObjects() { m_deviceMeshes.clear(); }

void CD3DFile_Mesh::destroy() {
    m_deviceMeshes.clear();
    m_textures.clear();
    m_materials.clear();
    m_systemMeshes.clear();
}

HostResult CD3DFile_Mesh::render(const DrawSubset& draw, bool opaque, bool translucent) const {
    if (m_deviceMeshes.empty()) {
        return kHostFail;
    }
    auto pass = [&](auto wanted) {
        for (std::size_t i = 0; i < m_deviceMeshes.size(); ++i) {
            if (m_deviceMeshes[i] == nullptr || !wanted(m_materials[i])) {
                continue;
            }
            if (m_useMaterials) {
                draw(*m_deviceMeshes[i], &m_materials[i], m_textures[i].get());
            } else {
                draw(*m_deviceMeshes[i], nullptr, nullptr);
            }
        }
    };
    if (opaque) {
        if (m_useMaterials) {
            pass([](const MeshMaterial& m) { return m.diffuse.a >= 1.0f; });
        } else {
            pass([](const MeshMaterial&) { return true; });
        }
    }
    if (translucent && m_useMaterials) {
        pass([](const MeshMaterial& m) { return m.diffuse.a != 1.0f; });
    }
    return kHostOk;
}

}  // namespace lnd
