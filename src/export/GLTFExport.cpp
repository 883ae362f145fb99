// GLTFExport: the terrain and water as tinygltf's model, then written through tinygltf.
#include "export/GLTFExport.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <sstream>
#include <stdexcept>

#include "base/Exception.h"
#include "base/Format.h"
#include "base/TextCase.h"
#include "export/Parallel.h"
#include "export/StagedOutput.h"
#include "formats/MPKFile.h"
#include "scene/FrameMath.h"
#include "terrain/CLOD.h"
#include "writers/PNG.h"
#include "zone/TextureImages.h"
#include "zone/WaterRegions.h"
#include "zone/ZonePaths.h"

namespace orv {
namespace {

constexpr int TileVertices = PatchCells + 1;   // per side
constexpr int BitDepth = 8;
constexpr size_t ViewAlignment = 4;
constexpr double Opaque = 1.0;
constexpr double Dull = 1.0;                   // roughness: no highlights, as the viewer's light has none
constexpr double NotMetal = 0.0;
constexpr float WaterTexelsPerCell = 1.0f;     // the water texture repeats once per cell

using TVec2 = std::array<float, 2>;
using TVec3 = std::array<float, 3>;

// The zone's z-up frame to glTF's y-up frame, the same handedness: north (+y) is -z.
TVec3 ToGLTF(float x, float y, float z) { return {x, z, -y}; }

// The name the side files of a ".gltf" start with: the output's name without its
// extension, each byte other than an ASCII letter, digit, '-' or '.' written as '_' and two
// hex digits (so that the names need no escaping as URIs); an extension in another letter
// case than ".gltf" is kept as "_2E" and its letters; "_" stands for an empty base. The
// escaping can be undone, so no two output names share a base.
std::string SideFileBase(const std::string& name)
{
    constexpr std::string_view Extension = ".gltf";
    const std::string_view stem = std::string_view(name).substr(0, name.size() - Extension.size());
    const std::string_view extension = std::string_view(name).substr(stem.size());
    std::string base;
    for (const char c : stem) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) && u < 0x80)
            base += c;
        else if (c == '-' || c == '.')
            base += c;
        else
            base += Format("_%2.2x", {int{u}});
    }
    if (extension != Extension)
        base.append("_2E").append(extension.substr(1));
    return base.empty() ? "_" : base;   // ".gltf" alone: a lone '_' is no other name's escape
}

// sRGB-encoded colour values (as the viewer and the map show them) to the linear values a
// glTF colour factor holds.
double SRGBToLinear(double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }

// ---- The camera of a view ------------------------------------------------------------

using TQuaternion = std::array<double, 4>;   // x, y, z, w as glTF keeps them

TQuaternion AxisRotation(size_t axis, double degrees)
{
    const double half = degrees * std::numbers::pi / 360.0;
    TQuaternion q{0.0, 0.0, 0.0, std::cos(half)};
    q[axis] = std::sin(half);
    return q;
}

TQuaternion operator*(const TQuaternion& a, const TQuaternion& b)
{
    const auto [ax, ay, az, aw] = a;
    const auto [bx, by, bz, bw] = b;
    return {aw * bx + ax * bw + ay * bz - az * by, aw * by - ax * bz + ay * bw + az * bx,
            aw * bz + ax * by - ay * bx + az * bw, aw * bw - ax * bx - ay * by - az * bz};
}

// The camera's orientation in glTF's frame. The viewer's eye looks along its -z with +y
// up, as a glTF camera does; the view transform turns the world by -heading about z and
// then by -pitch about x, so the eye stands turned by heading about z after pitch about
// x. The zone's frame becomes glTF's by -90 degrees about x.
TQuaternion CameraRotation(const TCamera& camera)
{
    constexpr size_t X = 0, Z = 2;
    return AxisRotation(X, -90.0) * AxisRotation(Z, camera.Heading) * AxisRotation(X, camera.Pitch);
}

// ---- One tile's primitive ------------------------------------------------------------

struct TPrimitiveData {
    std::vector<TVec3> Positions, Normals;
    std::vector<TVec2> TexCoords;
    std::vector<uint16_t> Indices;
};

// The terrain's 64 primitives, each holding the grid vertices its triangles use.
class TTerrainMeshes {
public:
    TTerrainMeshes(const TZoneSource& zone, float scale, bool textured)
        : m_Zone(zone), m_Scale(scale), m_Textured(textured),
          m_IndexOf(static_cast<size_t>(TileCount) * TileVertices * TileVertices, -1)
    {
    }

    // A counter-clockwise triangle (seen from above) of grid vertices in tile t.
    void Triangle(int tile, std::array<TGridIndex, 3> corners)
    {
        for (const TGridIndex& v : corners)
            Tiles[static_cast<size_t>(tile)].Indices.push_back(Vertex(tile, v.x, v.y));
        ++Triangles;
    }

    std::array<TPrimitiveData, TileCount> Tiles;
    int Triangles = 0;

private:
    uint16_t Vertex(int tile, int gx, int gy)
    {
        const int px = tile % PatchesPerSide, py = tile / PatchesPerSide;
        const int tx = gx - PatchCells * px, ty = gy - PatchCells * py;
        if (tx < 0 || tx > PatchCells || ty < 0 || ty > PatchCells)
            throw std::logic_error("a fan vertex outside its tile");
        int& index = m_IndexOf[(static_cast<size_t>(tile) * TileVertices + static_cast<size_t>(tx)) * TileVertices +
                               static_cast<size_t>(ty)];
        if (index < 0) {
            TPrimitiveData& p = Tiles[static_cast<size_t>(tile)];
            index = static_cast<int>(p.Positions.size());
            const float h = m_Zone.Terrain[gx][gy].Height;
            p.Positions.push_back(ToGLTF(static_cast<float>(gx * CellSize) * m_Scale,
                                         static_cast<float>(gy * CellSize) * m_Scale, h * m_Scale));
            const TVec3f& n = m_Zone.Normals[gx][gy];
            p.Normals.push_back(ToGLTF(n.x, n.y, n.z));
            // The renderer's coordinates; v runs down the upright image from its far edge.
            if (m_Textured)
                p.TexCoords.push_back({PatchTexCoords[static_cast<size_t>(tx)],
                                       PatchTexCoords[static_cast<size_t>(PatchCells - ty)]});
        }
        return static_cast<uint16_t>(index);
    }

    const TZoneSource& m_Zone;
    float m_Scale;
    bool m_Textured;
    std::vector<int> m_IndexOf;   // per tile and grid vertex: its index in the primitive, or -1
};

// Two triangles per cell, split along the diagonal through the centre of the cell's
// 2 x 2 block.
void AddFullGrid(TTerrainMeshes& meshes)
{
    for (int py = 0; py < PatchesPerSide; ++py)
        for (int px = 0; px < PatchesPerSide; ++px) {
            const int tile = px + PatchesPerSide * py;
            for (int j = PatchCells * py; j < PatchCells * (py + 1); ++j)
                for (int i = PatchCells * px; i < PatchCells * (px + 1); ++i) {
                    const TGridIndex a{i, j}, b{i + 1, j}, c{i + 1, j + 1}, d{i, j + 1};
                    if ((i + j) % 2 == 0) {
                        meshes.Triangle(tile, {a, b, c});
                        meshes.Triangle(tile, {a, c, d});
                    } else {
                        meshes.Triangle(tile, {a, b, d});
                        meshes.Triangle(tile, {b, c, d});
                    }
                }
        }
}

// The fan walk's triangles, each fan split at its centre.
class TFanTriangles : public IFanSink {
public:
    explicit TFanTriangles(TTerrainMeshes& meshes) : m_Meshes(meshes) {}
    void BindTile(int tile) override { m_Tile = tile; }
    void DrawFan(const TFanBuffers& fan, int count) override
    {
        auto grid = [&](int i) {
            return TGridIndex{static_cast<int>(fan.Vertices[static_cast<size_t>(i)].x) / CellSize,
                              static_cast<int>(fan.Vertices[static_cast<size_t>(i)].y) / CellSize};
        };
        for (int i = 1; i + 1 < count; ++i)
            m_Meshes.Triangle(m_Tile, {grid(0), grid(i), grid(i + 1)});
    }

private:
    TTerrainMeshes& m_Meshes;
    int m_Tile = 0;
};

// ---- The model -----------------------------------------------------------------------

class TModelBuilder {
public:
    TModelBuilder()
    {
        m_Model.asset.version = "2.0";
        m_Model.asset.generator = "Orvandel";
        m_Model.buffers.emplace_back();
    }

    tinygltf::Model& Model() { return m_Model; }

    int View(const void* data, size_t bytes, int target)
    {
        std::vector<unsigned char>& buffer = m_Model.buffers[0].data;
        buffer.resize((buffer.size() + ViewAlignment - 1) / ViewAlignment * ViewAlignment, 0);
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = buffer.size();
        view.byteLength = bytes;
        view.target = target;
        const auto* begin = static_cast<const unsigned char*>(data);
        buffer.insert(buffer.end(), begin, begin + bytes);
        m_Model.bufferViews.push_back(view);
        return static_cast<int>(m_Model.bufferViews.size() - 1);
    }

    template <size_t N>
    int Accessor(const std::vector<std::array<float, N>>& values, bool withBounds)
    {
        tinygltf::Accessor accessor;
        accessor.bufferView = View(values.data(), values.size() * sizeof(values[0]), TINYGLTF_TARGET_ARRAY_BUFFER);
        accessor.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
        accessor.count = values.size();
        accessor.type = N == 2 ? TINYGLTF_TYPE_VEC2 : TINYGLTF_TYPE_VEC3;
        if (withBounds) {
            accessor.minValues.assign(N, INFINITY);
            accessor.maxValues.assign(N, -INFINITY);
            for (const auto& v : values)
                for (size_t k = 0; k < N; ++k) {
                    accessor.minValues[k] = std::min<double>(accessor.minValues[k], v[k]);
                    accessor.maxValues[k] = std::max<double>(accessor.maxValues[k], v[k]);
                }
        }
        return Add(accessor);
    }

    int Indices(const std::vector<uint16_t>& indices)
    {
        tinygltf::Accessor accessor;
        accessor.bufferView =
            View(indices.data(), indices.size() * sizeof(uint16_t), TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
        accessor.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT;
        accessor.count = indices.size();
        accessor.type = TINYGLTF_TYPE_SCALAR;
        return Add(accessor);
    }

    tinygltf::Primitive Primitive(const TPrimitiveData& data, int material)
    {
        tinygltf::Primitive primitive;
        primitive.attributes["POSITION"] = Accessor(data.Positions, true);
        primitive.attributes["NORMAL"] = Accessor(data.Normals, false);
        if (!data.TexCoords.empty())
            primitive.attributes["TEXCOORD_0"] = Accessor(data.TexCoords, false);
        primitive.indices = Indices(data.Indices);
        primitive.material = material;
        primitive.mode = TINYGLTF_MODE_TRIANGLES;
        return primitive;
    }

    int Sampler(int wrap, int minFilter)
    {
        tinygltf::Sampler sampler;
        sampler.wrapS = sampler.wrapT = wrap;
        sampler.minFilter = minFilter;
        sampler.magFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
        m_Model.samplers.push_back(sampler);
        return static_cast<int>(m_Model.samplers.size() - 1);
    }

    // A PNG image and the texture over it; the PNG's bytes go into the buffer (a ".glb")
    // or into a file of its own (uri given).
    int Texture(const std::string& name, std::vector<uint8_t> png, int sampler, const std::string& uri,
                std::vector<std::pair<std::string, std::vector<uint8_t>>>& sideFiles)
    {
        tinygltf::Image entry;
        entry.name = name;
        if (uri.empty()) {
            entry.bufferView = View(png.data(), png.size(), 0);
            entry.mimeType = "image/png";
        } else {
            entry.uri = uri;
            sideFiles.emplace_back(uri, std::move(png));
        }
        m_Model.images.push_back(entry);
        tinygltf::Texture texture;
        texture.name = name;
        texture.source = static_cast<int>(m_Model.images.size() - 1);
        texture.sampler = sampler;
        m_Model.textures.push_back(texture);
        return static_cast<int>(m_Model.textures.size() - 1);
    }

    int Material(const std::string& name, std::vector<double> baseColor, int texture, bool blended)
    {
        tinygltf::Material material;
        material.name = name;
        material.pbrMetallicRoughness.baseColorFactor = std::move(baseColor);
        material.pbrMetallicRoughness.baseColorTexture.index = texture;
        material.pbrMetallicRoughness.metallicFactor = NotMetal;
        material.pbrMetallicRoughness.roughnessFactor = Dull;
        material.alphaMode = blended ? "BLEND" : "OPAQUE";
        m_Model.materials.push_back(material);
        return static_cast<int>(m_Model.materials.size() - 1);
    }

    int Mesh(const std::string& name, std::vector<tinygltf::Primitive> primitives)
    {
        tinygltf::Mesh mesh;
        mesh.name = name;
        mesh.primitives = std::move(primitives);
        m_Model.meshes.push_back(mesh);
        return static_cast<int>(m_Model.meshes.size() - 1);
    }

    int Node(const std::string& name, int mesh, std::vector<int> children = {})
    {
        tinygltf::Node node;
        node.name = name;
        node.mesh = mesh;
        node.children = std::move(children);
        m_Model.nodes.push_back(node);
        return static_cast<int>(m_Model.nodes.size() - 1);
    }

    // A node holding a perspective camera where the viewer's eye is, with its field of
    // view; the aspect is left to the viewport, as the viewer takes its window's.
    int Camera(const std::string& name, const TCamera& eye, float scale)
    {
        tinygltf::Camera camera;
        camera.name = name;
        camera.type = "perspective";
        camera.perspective.yfov = FieldOfView * std::numbers::pi / 180.0;
        camera.perspective.znear = NearPlane(eye.Pitch) * scale;
        camera.perspective.zfar = FarPlane * scale;
        m_Model.cameras.push_back(camera);
        const int node = Node(name, -1);
        tinygltf::Node& n = m_Model.nodes[static_cast<size_t>(node)];
        n.camera = static_cast<int>(m_Model.cameras.size() - 1);
        const TVec3 at = ToGLTF(eye.Pos.x * scale, eye.Pos.y * scale, eye.Pos.z * scale);
        n.translation.assign(at.begin(), at.end());
        const TQuaternion rotation = CameraRotation(eye);
        n.rotation.assign(rotation.begin(), rotation.end());
        return node;
    }

private:
    int Add(const tinygltf::Accessor& accessor)
    {
        m_Model.accessors.push_back(accessor);
        return static_cast<int>(m_Model.accessors.size() - 1);
    }

    tinygltf::Model m_Model;
};

TPrimitiveData WaterPrimitive(const TWaterRegion& region, float scale, bool textured)
{
    TPrimitiveData data;
    for (const TVec3f& c : WaterCorners(region)) {
        data.Positions.push_back(ToGLTF(c.x * scale, c.y * scale, c.z * scale));
        data.Normals.push_back(ToGLTF(0.0f, 0.0f, 1.0f));
        // s = x / 256 and t = y / 256 in world units; t = 0 is the image's first row.
        if (textured)
            data.TexCoords.push_back({c.x / (CellSize * WaterTexelsPerCell), c.y / (CellSize * WaterTexelsPerCell)});
    }
    data.Indices = {0, 1, 2, 0, 2, 3};
    return data;
}

// The model of the zone with the loaded images, written through the staged output.
TExportCounts WriteModel(const TZoneSource& zone, const TExportOptions& options, const TTileImages& tiles,
                         const TImage& waterImage, bool binary, TStagedOutput& output)
{
    TTerrainMeshes meshes(zone, options.Scale, options.Textures);
    if (options.LOD == TExportLOD::Full) {
        AddFullGrid(meshes);
    } else {
        TFanTriangles sink(meshes);
        DrawCLODFanWalk(zone.Terrain, zone.Normals, false, false, sink);
    }

    const std::string base = SideFileBase(output.TargetName());
    auto sideName = [&](const std::string& what) { return binary ? std::string() : base + "-" + what + ".png"; };
    std::vector<std::pair<std::string, std::vector<uint8_t>>> sideFiles;
    // Every name carries the zone, so that zones imported side by side stay apart.
    const std::string zoneName = "zone" + std::to_string(zone.ZoneID);
    auto named = [&](const std::string& what) { return zoneName + "-" + what; };

    // The images, encoded side by side: most of a textured export's time.
    std::vector<const TImage*> images;
    if (options.Textures) {
        for (const TImage& tile : tiles)
            images.push_back(&tile);
        if (options.Water && !zone.WaterRegions.empty())
            images.push_back(&waterImage);
    }
    std::vector<std::vector<uint8_t>> pngs(images.size());
    InParallel(static_cast<int>(images.size()), [&](int first, int step) {
        for (size_t i = static_cast<size_t>(first); i < images.size(); i += static_cast<size_t>(step))
            pngs[i] = EncodePNG(images[i]->Width, images[i]->Height, images[i]->Channels, BitDepth, images[i]->Pixels);
    });

    TModelBuilder builder;
    TExportCounts counts;
    std::vector<tinygltf::Primitive> terrain;
    const int plain = options.Textures ? -1 : builder.Material(named("terrain"), {1.0, 1.0, 1.0, Opaque}, -1, false);
    // Mipmaps: far terrain would shimmer without them.
    const int tileSampler = options.Textures ? builder.Sampler(TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE,
                                                               TINYGLTF_TEXTURE_FILTER_LINEAR_MIPMAP_LINEAR)
                                             : -1;
    for (int tile = 0; tile < TileCount; ++tile) {
        int material = plain;
        if (options.Textures) {
            const std::string member = TileMemberName(tile % PatchesPerSide, tile / PatchesPerSide);
            const std::string what = member.substr(0, member.find('.'));
            const int texture = builder.Texture(named(what), std::move(pngs[static_cast<size_t>(tile)]), tileSampler,
                                                sideName(what), sideFiles);
            material = builder.Material(named(what), {1.0, 1.0, 1.0, Opaque}, texture, false);
        }
        const TPrimitiveData& data = meshes.Tiles[static_cast<size_t>(tile)];
        counts.TerrainVertices += static_cast<int>(data.Positions.size());
        terrain.push_back(builder.Primitive(data, material));
    }
    counts.TerrainTriangles = meshes.Triangles;
    std::vector<int> children{builder.Node(named("terrain"), builder.Mesh(named("terrain"), std::move(terrain)))};

    // One mesh, node and material per region, named after its section of "sector.dat".
    if (options.Water && !zone.WaterRegions.empty()) {
        const bool textured = options.Textures;
        const int waterTexture =
            textured ? builder.Texture(named("water"), std::move(pngs.back()),
                                       builder.Sampler(TINYGLTF_TEXTURE_WRAP_REPEAT,
                                                       TINYGLTF_TEXTURE_FILTER_LINEAR_MIPMAP_NEAREST),
                                       sideName("water"), sideFiles)
                     : -1;
        std::vector<int> rivers;
        for (size_t i = 0; i < zone.WaterRegions.size(); ++i) {
            const TWaterRegion& region = *zone.WaterRegions[i];
            const std::string name = named(WaterRegionSection(static_cast<int>(i)));
            std::vector<double> color;
            for (const float c : PackedColorRGB(region.Color))
                color.push_back(SRGBToLinear(c));
            color.push_back(WaterAlpha);
            const int material = builder.Material(name, std::move(color), waterTexture, true);
            rivers.push_back(builder.Node(
                name, builder.Mesh(name, {builder.Primitive(WaterPrimitive(region, options.Scale, textured), material)})));
        }
        counts.WaterPrimitives = static_cast<int>(rivers.size());
        children.push_back(builder.Node(named("water"), -1, std::move(rivers)));
    }
    if (options.LOD == TExportLOD::View)
        children.push_back(builder.Camera(named("view"), options.ViewCamera, options.Scale));

    tinygltf::Model& model = builder.Model();
    model.scenes.emplace_back();
    model.scenes[0].nodes = {builder.Node(zoneName, -1, children)};
    model.defaultScene = 0;

    tinygltf::TinyGLTF writer;
    writer.SetImageWriter(nullptr, nullptr);   // the images are ours, already encoded
    if (binary) {
        std::ostringstream bytes;
        if (!writer.WriteGltfSceneToStream(&model, bytes, false, true))
            output.FailWriting(output.TargetName());
        const std::string glb = bytes.str();
        output.Write(output.TargetName(), {reinterpret_cast<const uint8_t*>(glb.data()), glb.size()});
    } else {
        model.buffers[0].uri = base + ".bin";
        for (const auto& [name, png] : sideFiles)
            output.Write(name, png);
        if (!writer.WriteGltfSceneToFile(&model, output.Path(output.TargetName()), false, false, true, false))
            output.FailWriting(output.TargetName());
    }
    output.Commit(output.TargetName());
    return counts;
}

}  // namespace

TExportCounts ExportZone(const TZoneSource& zone, const TExportOptions& options, const std::string& path)
{
    const std::string extension = FoldedExtension(path);
    const bool binary = extension == ".glb";
    if (!binary && extension != ".gltf")
        throw std::invalid_argument(path + ": the export is written as .glb or .gltf");
    if (!(options.Scale > 0.0f) || !std::isfinite(options.Scale))
        throw std::invalid_argument("the scale must be a positive number");

    TStagedOutput output(path);
    // What can fail on the zone's files comes first: the tiles and the water texture.
    TTileImages tiles;
    TImage waterImage;
    if (options.Textures) {
        tiles = LoadZoneTileImages(zone.GameDir, zone.ZoneID);
        if (options.Water && !zone.WaterRegions.empty())
            waterImage = LoadWaterTextureImage(zone.GameDir);
    }

    // From here on only the export itself can fail (memory, writing): its messages name the
    // file it makes.
    return NamingFailures(path, "", [&] { return WriteModel(zone, options, tiles, waterImage, binary, output); });
}

}  // namespace orv
