#include "sculpt/gl_renderer.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>

namespace clay {

namespace {

void LinearTexture(unsigned name, GLint internal, int side, GLenum format, const void* pixels) {
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, internal, side, side, 0, format, GL_UNSIGNED_BYTE, pixels);
}

std::vector<unsigned> GenTextures(int count) {
    std::vector<unsigned> names(std::size_t(std::max(count, 0)), 0);
    if (!names.empty()) glGenTextures(GLsizei(names.size()), names.data());
    return names;
}

void Diffuse(float r, float g, float b, float a) {
    const GLfloat d[4] = {r, g, b, a};
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, d);
}

}  // namespace

void CGLRenderer::InitState() {
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.3f, 0.6f, 0.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glPointSize(5.0f);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    const GLfloat ambient[4] = {0.4f, 0.4f, 0.4f, 0.0f}, diffuse[4] = {1, 1, 1, 0}, specular[4] = {1, 1, 1, 1},
                  position[4] = {0, -30, 0, 0};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glEnable(GL_LIGHT0);
    glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    glMaterialf(GL_FRONT, GL_SHININESS, 60.0f);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
}

void CGLRenderer::Resize(int pixelWidth, int pixelHeight) {
    if (pixelHeight <= 0) pixelHeight = 1;
    m_viewWidth = pixelWidth;
    m_viewHeight = pixelHeight;
    glViewport(0, 0, pixelWidth, pixelHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, double(pixelWidth) / double(pixelHeight), 1.0, 10000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

unsigned& CGLRenderer::Slot(std::vector<unsigned>& table, int slot) {
    if (std::size_t(slot) >= table.size()) table.resize(std::size_t(slot) + 1, 0);
    return table[std::size_t(slot)];
}

void CGLRenderer::DeleteTextures(std::vector<unsigned>& names) {
    if (!names.empty()) glDeleteTextures(GLsizei(names.size()), names.data());
    names.clear();
}

void CGLRenderer::DeleteLists(std::vector<unsigned>& lists) {
    for (unsigned l : lists)
        if (l != 0) glDeleteLists(l, 1);
    lists.clear();
}

void CGLRenderer::DeleteLandResources() {
    DeleteLists(m_landLists);
    DeleteLists(m_overlayLists);
    DeleteTextures(m_blockTextures);
    DeleteTextures(m_swatchTextures);
}

void CGLRenderer::DeleteAll() {
    DeleteLandResources();
    if (m_heldPicture != 0) glDeleteTextures(1, &m_heldPicture);
    m_heldPicture = 0;
    m_heldWidth = m_heldHeight = 0;
    DeleteTextures(m_menuTextures);
    DeleteTextures(m_brushPictures);
}

std::vector<std::uint8_t> CGLRenderer::ReadPixels(int width, int height) const {
    std::vector<std::uint8_t> rows(std::size_t(width) * std::size_t(height) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    // GL's first row is the bottom one.
    std::vector<std::uint8_t> flipped(rows.size());
    const std::size_t pitch = std::size_t(width) * 4;
    for (int y = 0; y < height; ++y)
        std::copy_n(&rows[std::size_t(height - 1 - y) * pitch], pitch, &flipped[std::size_t(y) * pitch]);
    return flipped;
}

void CGLRenderer::CreateMenuTextures(const SMenuData& data) {
    DeleteTextures(m_menuTextures);
    m_menuTextures = GenTextures(kMenuPictures);
    for (int i = 0; i < kMenuPictures; ++i)
        LinearTexture(m_menuTextures[std::size_t(i)], GL_RGBA, kMenuPictureSide, GL_RGBA, data.pictures[std::size_t(i)].data());
}

void CGLRenderer::CreateBrushPictures(int count, const std::vector<std::uint8_t>& pictures) {
    DeleteTextures(m_brushPictures);
    m_brushPictures = GenTextures(count);
    for (int b = 0; b < count; ++b)
        LinearTexture(m_brushPictures[std::size_t(b)], GL_LUMINANCE, 64, GL_LUMINANCE, &pictures[std::size_t(b) * 64 * 64]);
}

void CGLRenderer::ResetBlockTextures(int count) {
    DeleteTextures(m_blockTextures);
    m_blockTextures = GenTextures(count);
}

void CGLRenderer::UploadBlockTexture(int slot, const std::uint8_t* rgba) {
    if (slot < 0 || std::size_t(slot) >= m_blockTextures.size()) return;
    LinearTexture(m_blockTextures[std::size_t(slot)], GL_RGBA, 256, GL_RGBA, rgba);
}

void CGLRenderer::UploadSwatches(int count, const std::vector<std::uint8_t>& rgb) {
    DeleteTextures(m_swatchTextures);
    m_swatchTextures = GenTextures(count);
    for (int c = 0; c < count; ++c)
        LinearTexture(m_swatchTextures[std::size_t(c)], GL_RGB, 256, GL_RGB, &rgb[std::size_t(c) * 65536 * 3]);
}

void CGLRenderer::CompileLandList(int slot, const std::vector<SListVertex>& vertices) {
    unsigned& list = Slot(m_landLists, slot);
    if (list == 0) list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBindTexture(GL_TEXTURE_2D, std::size_t(slot) < m_blockTextures.size() ? m_blockTextures[std::size_t(slot)] : 0);
    glBegin(GL_TRIANGLES);
    for (const SListVertex& v : vertices) {
        glNormal3fv(v.n);
        glTexCoord2fv(v.uv);
        glVertex3fv(v.p);
    }
    glEnd();
    glEndList();
}

void CGLRenderer::CompileOverlayList(int slot, const std::vector<SOverlayVertex>& vertices) {
    unsigned& list = Slot(m_overlayLists, slot);
    if (list == 0) list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBegin(GL_TRIANGLES);
    for (const SOverlayVertex& v : vertices) {
        glColor4fv(v.rgba);
        glVertex3fv(v.p);
    }
    glEnd();
    glEndList();
}

void CGLRenderer::BeginFrame(const SMat4& projection, const SMat4& modelView, float pointSize) {
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    Diffuse(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projection.m);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(modelView.m);
    glPointSize(pointSize);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    const GLfloat light[4] = {-100, 100, -100, 0};
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
}

void CGLRenderer::DrawPoints(const std::vector<SColouredPoint>& points) {
    glBegin(GL_POINTS);
    for (const SColouredPoint& p : points) {
        glColor3fv(p.rgb);
        glVertex3f(p.p.x, p.p.y, p.p.z);
    }
    glEnd();
}

void CGLRenderer::DrawCross(SVec3 c) {
    glColor3f(1, 1, 1);
    glBegin(GL_LINES);
    glVertex3f(c.x - 10, c.y, c.z);
    glVertex3f(c.x + 10, c.y, c.z);
    glVertex3f(c.x, c.y - 10, c.z);
    glVertex3f(c.x, c.y + 10, c.z);
    glVertex3f(c.x, c.y, c.z - 10);
    glVertex3f(c.x, c.y, c.z + 10);
    glEnd();
}

void CGLRenderer::DrawSpotlight(const SSpotlight& light, const CBlockMeshes& meshes) {
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    for (const SSpotlight::SSlot& s : light.slots) {
        const CBlockMesh& mesh = meshes.m_meshes[std::size_t(s.slot)];
        glBindTexture(GL_TEXTURE_2D, std::size_t(s.slot) < m_blockTextures.size() ? m_blockTextures[std::size_t(s.slot)] : 0);
        glBegin(GL_TRIANGLES);
        for (int t = 0; t < kTrianglesPerBlock; ++t) {
            Diffuse(0.6f, 0.6f, 0.6f, s.fill[std::size_t(t)]);
            const STriangle& tri = mesh.m_triangles[std::size_t(t)];
            if (!light.smooth) {
                const SVec3 n = mesh.m_faceNormals[std::size_t(t)];
                glNormal3f(n.x, n.y, n.z);
            }
            for (std::uint16_t v : tri.v) {
                if (light.smooth) {
                    const SVec3 n = mesh.m_vertexNormals[v];
                    glNormal3f(n.x, n.y, n.z);
                }
                glTexCoord2fv(mesh.m_texCoords[v].data());
                const SVec3 p = mesh.m_positions[v];
                glVertex3f(p.x, p.y, p.z);
            }
        }
        glEnd();
    }
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glPolygonMode(GL_FRONT, GL_LINE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    for (const SSpotlight::SSlot& s : light.slots) {
        const CBlockMesh& mesh = meshes.m_meshes[std::size_t(s.slot)];
        glBegin(GL_TRIANGLES);
        for (int t = 0; t < kTrianglesPerBlock; ++t) {
            const float a = s.outline[std::size_t(t)];
            if (a < 0.0f) continue;
            glColor4f(0.4f, 0.4f, 0.4f, a);
            for (std::uint16_t v : mesh.m_triangles[std::size_t(t)].v) {
                const SVec3 p = mesh.m_positions[v];
                glVertex3f(p.x, p.y + 1.0f, p.z);
            }
        }
        glEnd();
    }
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    Diffuse(0.6f, 0.6f, 0.6f, 1.0f);
}

void CGLRenderer::DrawLandLists(int slots, const std::vector<std::uint8_t>& skip) {
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (int s = 0; s < slots && std::size_t(s) < m_landLists.size(); ++s) {
        if (std::size_t(s) < skip.size() && skip[std::size_t(s)]) continue;
        if (m_landLists[std::size_t(s)] != 0) glCallList(m_landLists[std::size_t(s)]);
    }
}

void CGLRenderer::DrawOverlayLists(int slots) {
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    for (int s = 0; s < slots && std::size_t(s) < m_overlayLists.size(); ++s)
        if (m_overlayLists[std::size_t(s)] != 0) glCallList(m_overlayLists[std::size_t(s)]);
}

void CGLRenderer::DrawBoxes(const CBlockMeshes& meshes) {
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glPolygonMode(GL_FRONT, GL_LINE);
    glColor3f(1, 0, 0);
    glBegin(GL_TRIANGLES);
    for (const CBlockMesh& mesh : meshes.m_meshes)
        for (int b = 0; b < kPickedBoxTriangles; ++b)
            for (int k = 0; k < 3; ++k) {
                const SVec3 p = mesh.m_boxCorners[std::size_t(kBoxTriangles[b][k])];
                glVertex3f(p.x, p.y, p.z);
            }
    glEnd();
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

void CGLRenderer::DrawStrengthBar(float strength) {
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glLoadIdentity();
    glLineWidth(5.0f);
    glTranslatef(0, 0, -50);
    glBegin(GL_LINES);
    glColor3f(1, 0, 0);
    glVertex3f(27, 0, 0);
    glColor3f(0, 1, 0);
    glVertex3f(27, strength, 0);
    glEnd();
    glLineWidth(1.0f);
}

void CGLRenderer::DrawMenu(const SMenuPlan& plan) {
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLoadIdentity();
    glTranslatef(0, 0, -20);
    glColor4f(0, 0, 0, 0.8f);
    glBegin(GL_QUADS);
    glVertex3f(-20, -20, 0);
    glVertex3f(20, -20, 0);
    glVertex3f(20, 20, 0);
    glVertex3f(-20, 20, 0);
    glEnd();

    glEnable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    for (const SMenuItem& item : plan.items) {
        if (std::size_t(item.picture) >= m_menuTextures.size()) continue;
        glLoadMatrixf(item.modelView.m);
        glColor4f(1, 1, 1, item.lit ? 1.0f : 0.7f);
        glBindTexture(GL_TEXTURE_2D, m_menuTextures[std::size_t(item.picture)]);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 1);
        glVertex3f(2, -1, 0);
        glTexCoord2f(1, 1);
        glVertex3f(4, -1, 0);
        glTexCoord2f(1, 0);
        glVertex3f(4, 1, 0);
        glTexCoord2f(0, 0);
        glVertex3f(2, 1, 0);
        glEnd();
    }
    if (plan.frame) {
        glDisable(GL_TEXTURE_2D);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glLoadIdentity();
        glColor4f(0.0f, 0.6f, 0.3f, 0.7f);
        glBegin(GL_LINE_LOOP);
        glVertex3f(1, -2, -10);
        glVertex3f(5, -2, -10);
        glVertex3f(5, 2, -10);
        glVertex3f(1, 2, -10);
        glEnd();
    }
    if (plan.selector) {
        const std::vector<unsigned>& pictures = plan.selectorBrush ? m_brushPictures : m_swatchTextures;
        if (std::size_t(plan.selectorIndex) < pictures.size()) {
            glDisable(GL_BLEND);
            glDisable(GL_LIGHTING);
            glDisable(GL_CULL_FACE);
            glEnable(GL_TEXTURE_2D);
            glLoadMatrixf(plan.selectorModelView.m);
            glColor4f(1, 1, 1, 1);
            glBindTexture(GL_TEXTURE_2D, pictures[std::size_t(plan.selectorIndex)]);
            glBegin(GL_QUADS);
            glTexCoord2f(0, 0);
            glVertex3f(-2, 0, -2);
            glTexCoord2f(0, 1);
            glVertex3f(-2, 0, 2);
            glTexCoord2f(1, 1);
            glVertex3f(2, 0, 2);
            glTexCoord2f(1, 0);
            glVertex3f(2, 0, -2);
            glEnd();
        }
    }
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
}

void CGLRenderer::DrawProgress(int columns) {
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLoadIdentity();
    glColor4f(1, 0, 0, 0.1f);
    // One bar per column done, as if each had been drawn over the last picture.
    glBegin(GL_QUADS);
    for (int n = 1; n <= columns; ++n) {
        const float right = float(n) - 15.0f;
        glVertex3f(-15, -11, -25);
        glVertex3f(right, -11, -25);
        glVertex3f(right, -9.5f, -25);
        glVertex3f(-15, -9.5f, -25);
    }
    glEnd();
    glEnable(GL_DEPTH_TEST);
}

void CGLRenderer::HoldPicture() {
    if (m_viewWidth <= 0 || m_viewHeight <= 0) return;
    if (m_heldPicture == 0) glGenTextures(1, &m_heldPicture);
    glBindTexture(GL_TEXTURE_2D, m_heldPicture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glReadBuffer(GL_BACK);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, m_viewWidth, m_viewHeight, 0);
    m_heldWidth = m_viewWidth;
    m_heldHeight = m_viewHeight;
}

void CGLRenderer::DrawHeldPicture() {
    if (m_heldPicture == 0) return;
    // Texel for pixel, whatever the projection: both matrices identity over the window.
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBindTexture(GL_TEXTURE_2D, m_heldPicture);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -1);
    glTexCoord2f(1, 0);
    glVertex2f(1, -1);
    glTexCoord2f(1, 1);
    glVertex2f(1, 1);
    glTexCoord2f(0, 1);
    glVertex2f(-1, 1);
    glEnd();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
}

}  // namespace clay
