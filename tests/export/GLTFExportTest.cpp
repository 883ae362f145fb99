// The glTF export read back with the library that wrote it (counts, heights, frame,
// materials, images, water), checked by the Khronos validator, and its failures.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tiny_gltf.h>

#include <cmath>
#include <numbers>
#include <set>

#include "ExportSupport.h"
#include "export/GLTFExport.h"
#include "formats/MPKFile.h"
#include "scene/FrameMath.h"
#include "terrain/CLOD.h"
#include "writers/MPKWriter.h"
#include "zone/TextureImages.h"
#include "zone/ZonePaths.h"

namespace orv::exporttest {
namespace {

constexpr float DefaultScale = 0.01f;

tinygltf::Model ReadBack(const std::string& path)
{
    tinygltf::TinyGLTF loader;
    tinygltf::Model model;
    std::string error, warning;
    const bool ok = path.ends_with(".glb") ? loader.LoadBinaryFromFile(&model, &error, &warning, path)
                                           : loader.LoadASCIIFromFile(&model, &error, &warning, path);
    if (!ok || !error.empty())
        throw std::runtime_error("tinygltf cannot read " + path + ": " + error);
    return model;
}

const tinygltf::Mesh& MeshNamed(const tinygltf::Model& model, const std::string& name)
{
    for (const auto& mesh : model.meshes)
        if (mesh.name == name)
            return mesh;
    throw std::runtime_error("no mesh " + name);
}

// The values of a float accessor, tightly packed.
template <size_t N>
std::vector<std::array<float, N>> Floats(const tinygltf::Model& model, int index)
{
    const tinygltf::Accessor& a = model.accessors[static_cast<size_t>(index)];
    const tinygltf::BufferView& v = model.bufferViews[static_cast<size_t>(a.bufferView)];
    std::vector<std::array<float, N>> out(a.count);
    std::memcpy(out.data(), &model.buffers[static_cast<size_t>(v.buffer)].data[v.byteOffset + a.byteOffset],
                a.count * sizeof(out[0]));
    return out;
}

size_t Triangles(const tinygltf::Model& model, const tinygltf::Mesh& mesh)
{
    size_t count = 0;
    for (const auto& p : mesh.primitives)
        count += model.accessors[static_cast<size_t>(p.indices)].count / 3;
    return count;
}

class GLTFExport : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Zone = LoadSampleZone(111).release(); }
    static void TearDownTestSuite() { delete Zone; }
    static TViewer* Zone;
    ScratchDir Scratch;
};
TViewer* GLTFExport::Zone = nullptr;

TEST_F(GLTFExport, FullGridWithTilesAndWaterReadsBack)
{
    const std::string path = Scratch.File("zone111.glb");
    const TExportCounts counts = ExportZone(Zone->ZoneSource(), {}, path);
    EXPECT_EQ(counts.TerrainVertices, 64 * 33 * 33);   // 69696: tile edges repeated
    EXPECT_EQ(counts.TerrainTriangles, 2 * 256 * 256);
    const tinygltf::Model model = ReadBack(path);

    const tinygltf::Mesh& terrain = MeshNamed(model, "zone111-terrain");
    ASSERT_EQ(terrain.primitives.size(), 64u);
    EXPECT_EQ(Triangles(model, terrain), 2u * 256 * 256);
    TMPKFile textures(ZoneArchivePath(GameDir(), 111, TZoneArchive::Texture));
    std::set<int> materials;
    size_t vertices = 0;
    for (int tile = 0; tile < 64; ++tile) {
        SCOPED_TRACE("tile " + std::to_string(tile));
        const int px = tile % 8, py = tile / 8;
        const tinygltf::Primitive& p = terrain.primitives[static_cast<size_t>(tile)];
        const auto positions = Floats<3>(model, p.attributes.at("POSITION"));
        const auto normals = Floats<3>(model, p.attributes.at("NORMAL"));
        const auto uv = Floats<2>(model, p.attributes.at("TEXCOORD_0"));
        vertices += positions.size();
        // y up: heights times the scale; x east, -z north, as the grid's world placement.
        int corners = 0;
        for (size_t i = 0; i < positions.size(); ++i) {
            const int gx = static_cast<int>(std::lround(positions[i][0] / DefaultScale / CellSize));
            const int gy = static_cast<int>(std::lround(-positions[i][2] / DefaultScale / CellSize));
            ASSERT_GE(gx, 32 * px);
            ASSERT_LE(gx, 32 * px + 32);
            ASSERT_GE(gy, 32 * py);
            ASSERT_LE(gy, 32 * py + 32);
            EXPECT_FLOAT_EQ(positions[i][1], Zone->Terrain[gx][gy].Height * DefaultScale);
            const TVec3f& n = Zone->TerrainNormals[gx][gy];
            EXPECT_EQ(normals[i], (std::array<float, 3>{n.x, n.z, -n.y}));
            // The tile's north-west corner samples the image's first row and column.
            if (gx == 32 * px && gy == 32 * py + 32) {
                EXPECT_EQ(uv[i], (std::array<float, 2>{0.002f, 0.002f}));
                ++corners;
            }
        }
        EXPECT_EQ(corners, 1);
        // One material per tile, its image the tile decoded in software.
        ASSERT_GE(p.material, 0);
        materials.insert(p.material);
        const tinygltf::Material& m = model.materials[static_cast<size_t>(p.material)];
        EXPECT_EQ(m.alphaMode, "OPAQUE");
        const int texture = m.pbrMetallicRoughness.baseColorTexture.index;
        ASSERT_GE(texture, 0);
        const tinygltf::Image& image = model.images[static_cast<size_t>(model.textures[static_cast<size_t>(texture)].source)];
        const TImage decoded = LoadTileImage(textures, px, py);
        ASSERT_EQ(image.width, decoded.Width);
        ASSERT_EQ(image.height, decoded.Height);
        std::vector<uint8_t> rgb;
        for (size_t i = 0; i < image.image.size(); i += static_cast<size_t>(image.component))
            rgb.insert(rgb.end(), image.image.begin() + static_cast<std::ptrdiff_t>(i),
                       image.image.begin() + static_cast<std::ptrdiff_t>(i) + 3);
        EXPECT_EQ(rgb, decoded.Pixels);
    }
    EXPECT_EQ(vertices, 69696u);
    EXPECT_EQ(materials.size(), 64u);

    // One flat, blended mesh per region at its height, named after its section and coloured
    // by its packed colour, whose sRGB bytes the factor holds as linear values.
    auto sRGBByte = [](double linear) {
        const double c = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
        return static_cast<int>(std::lround(c * 255));
    };
    for (size_t r = 0; r < Zone->WaterRegions.size(); ++r) {
        SCOPED_TRACE("region " + std::to_string(r));
        const TWaterRegion& region = *Zone->WaterRegions[r];
        const std::string section = r < 10 ? "river0" + std::to_string(r) : "river" + std::to_string(r);
        const tinygltf::Mesh& water = MeshNamed(model, "zone111-" + section);
        ASSERT_EQ(water.primitives.size(), 1u);
        const auto positions = Floats<3>(model, water.primitives[0].attributes.at("POSITION"));
        const auto corners = WaterCorners(region);
        ASSERT_EQ(positions.size(), 4u);
        for (size_t k = 0; k < 4; ++k)
            EXPECT_EQ(positions[k], (std::array<float, 3>{corners[k].x * DefaultScale, corners[k].z * DefaultScale,
                                                           -corners[k].y * DefaultScale}));
        const tinygltf::Material& m = model.materials[static_cast<size_t>(water.primitives[0].material)];
        EXPECT_EQ(m.name, "zone111-" + section);
        EXPECT_EQ(m.alphaMode, "BLEND");
        const auto& factor = m.pbrMetallicRoughness.baseColorFactor;
        ASSERT_EQ(factor.size(), 4u);
        for (size_t c = 0; c < 3; ++c)
            EXPECT_EQ(sRGBByte(factor[c]), static_cast<int>(region.Color >> (8 * c) & 0xFF)) << c;
        EXPECT_FLOAT_EQ(static_cast<float>(factor[3]), WaterAlpha);
        EXPECT_GE(m.pbrMetallicRoughness.baseColorTexture.index, 0);
        // The water texture repeats once a cell, as the viewer generates s = x / 256, t = y / 256.
        const auto uv = Floats<2>(model, water.primitives[0].attributes.at("TEXCOORD_0"));
        ASSERT_EQ(uv.size(), 4u);
        for (size_t k = 0; k < 4; ++k)
            EXPECT_EQ(uv[k], (std::array<float, 2>{corners[k].x / CellSize, corners[k].y / CellSize}));
    }
    // Terrain and tile names carry the zone; tiles sample with mipmaps.
    EXPECT_EQ(model.nodes[static_cast<size_t>(model.scenes[0].nodes[0])].name, "zone111");
    const tinygltf::Material& tile = model.materials[static_cast<size_t>(terrain.primitives[0].material)];
    EXPECT_EQ(tile.name, "zone111-tex00-07");
    const tinygltf::Texture& texture = model.textures[static_cast<size_t>(tile.pbrMetallicRoughness.baseColorTexture.index)];
    EXPECT_EQ(model.images[static_cast<size_t>(texture.source)].name, "zone111-tex00-07");
    EXPECT_EQ(model.samplers[static_cast<size_t>(texture.sampler)].minFilter, TINYGLTF_TEXTURE_FILTER_LINEAR_MIPMAP_LINEAR);
    EXPECT_TRUE(model.cameras.empty());
}

// A counting sink: what the renderer would report for the current subdivision.
class TTriangleCounter : public IFanSink {
public:
    void BindTile(int) override {}
    void DrawFan(const TFanBuffers&, int) override {}
};

TEST_F(GLTFExport, ViewHoldsExactlyTheTrianglesTheRendererDraws)
{
    for (const auto& [loc, detail] : std::vector<std::pair<std::string, int>>{
             {"32768,65279,256,0,80", 50}, {"12000,30000,3000,90,60", 255}, {"above", 1}}) {
        SCOPED_TRACE(loc);
        Zone->ApplyLocationReply(loc);
        Zone->SetCLODDetail(detail);
        TTriangleCounter counter;
        const int drawn = DrawCLODFanWalk(Zone->Terrain, Zone->TerrainNormals, false, false, counter);
        const std::string path = Scratch.File("view.gltf");
        TExportOptions options;
        options.LOD = TExportLOD::View;
        options.Water = false;
        options.ViewCamera = Zone->Camera;
        const TExportCounts counts = ExportZone(Zone->ZoneSource(), options, path);
        EXPECT_EQ(counts.TerrainTriangles, drawn);
        const tinygltf::Model model = ReadBack(path);
        EXPECT_EQ(Triangles(model, MeshNamed(model, "zone111-terrain")), static_cast<size_t>(drawn));
        EXPECT_TRUE(std::none_of(model.meshes.begin(), model.meshes.end(),
                                 [](const tinygltf::Mesh& m) { return m.name.find("river") != std::string::npos; }));

        // The camera the view was made for: at the eye, looking along the view direction
        // (-sin h sin p, cos h sin p, -cos p), level from side to side, 90 degrees high.
        ASSERT_EQ(model.cameras.size(), 1u);
        EXPECT_EQ(model.cameras[0].type, "perspective");
        EXPECT_NEAR(model.cameras[0].perspective.yfov, std::numbers::pi / 2, 1e-6);
        const auto node = std::find_if(model.nodes.begin(), model.nodes.end(),
                                       [](const tinygltf::Node& n) { return n.camera == 0; });
        ASSERT_NE(node, model.nodes.end());
        EXPECT_EQ(node->name, "zone111-view");
        const TCamera& eye = Zone->Camera;
        ASSERT_EQ(node->translation.size(), 3u);
        EXPECT_NEAR(node->translation[0], eye.Pos.x * DefaultScale, 1e-3);
        EXPECT_NEAR(node->translation[1], eye.Pos.z * DefaultScale, 1e-3);
        EXPECT_NEAR(node->translation[2], -eye.Pos.y * DefaultScale, 1e-3);
        ASSERT_EQ(node->rotation.size(), 4u);
        const double qx = node->rotation[0], qy = node->rotation[1], qz = node->rotation[2], qw = node->rotation[3];
        // The rotated axes: the columns of the quaternion's matrix.
        const std::array<double, 3> lookAlong{-(2 * (qx * qz + qw * qy)), -(2 * (qy * qz - qw * qx)),
                                              -(1 - 2 * (qx * qx + qy * qy))};
        const std::array<double, 3> right{1 - 2 * (qy * qy + qz * qz), 2 * (qx * qy + qw * qz), 2 * (qx * qz - qw * qy)};
        const double h = eye.Heading * std::numbers::pi / 180, p = eye.Pitch * std::numbers::pi / 180;
        const std::array<double, 3> view{-std::sin(h) * std::sin(p), std::cos(h) * std::sin(p), -std::cos(p)};
        EXPECT_NEAR(lookAlong[0], view[0], 1e-6);
        EXPECT_NEAR(lookAlong[1], view[2], 1e-6);
        EXPECT_NEAR(lookAlong[2], -view[1], 1e-6);
        EXPECT_NEAR(right[1], 0.0, 1e-6);
    }
    Zone->ResetCamera();
    Zone->SetCLODDetail(51);
}

TEST_F(GLTFExport, GltfKeepsItsBufferAndImagesBesideIt)
{
    // Names that a cleaned-up form would make the same keep side files of their own.
    std::vector<std::pair<std::string, std::string>> outputs{{"my zone.gltf", "my_20zone"}, {"my_zone.gltf", "my_5Fzone"}};
    if (!test::OnWindows)   // where names differing in letter case only are one file
        outputs.push_back({"my_zone.GLTF", "my_5Fzone_2EGLTF"});
    for (const auto& [name, base] : outputs)
        ExportZone(Zone->ZoneSource(), {}, Scratch.File(name));
    std::set<std::string> files;
    for (const auto& entry : fs::directory_iterator(Scratch.Path()))
        files.insert(entry.path().filename().string());
    EXPECT_EQ(files.size(), outputs.size() * (1u + 1u + 64u + 1u));   // JSON, buffer, tiles, water
    for (const auto& [name, base] : outputs) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(files.contains(name));
        EXPECT_TRUE(files.contains(base + ".bin"));
        EXPECT_TRUE(files.contains(base + "-tex00-07.png"));
        EXPECT_TRUE(files.contains(base + "-water.png"));
        const tinygltf::Model model = ReadBack(Scratch.File(name));
        EXPECT_EQ(model.images.size(), 65u);
        EXPECT_EQ(Triangles(model, MeshNamed(model, "zone111-terrain")), 2u * 256 * 256);
    }
}

// The command line refuses such scales, and so does the export itself for any caller:
// nothing is written.
TEST_F(GLTFExport, AScaleThatIsNotPositiveIsRefusedBeforeAnythingIsWritten)
{
    for (const float scale : {0.0f, -0.01f, std::nanf(""), INFINITY}) {
        TExportOptions options;
        options.Scale = scale;
        EXPECT_THROW(ExportZone(Zone->ZoneSource(), options, Scratch.File("scaled.glb")), std::invalid_argument)
            << scale;
    }
    EXPECT_TRUE(fs::is_empty(Scratch.Path()));
}

TEST_F(GLTFExport, WithoutTexturesOnePlainMaterialAndNoImages)
{
    // A texture archive that cannot be read does not matter then.
    TViewer& zone = *Zone;
    TZoneSource source = zone.ZoneSource();
    source.GameDir = Scratch.Path().string() + "/";
    TExportOptions options;
    options.Textures = false;
    options.Scale = 1.0f;
    ExportZone(source, options, Scratch.File("plain.glb"));
    const tinygltf::Model model = ReadBack(Scratch.File("plain.glb"));
    EXPECT_TRUE(model.images.empty());
    EXPECT_EQ(model.materials.size(), 1u + zone.WaterRegions.size());
    const tinygltf::Primitive& first = MeshNamed(model, "zone111-terrain").primitives[0];
    EXPECT_FALSE(first.attributes.contains("TEXCOORD_0"));
    // At scale 1 the positions are world units.
    const auto positions = Floats<3>(model, first.attributes.at("POSITION"));
    EXPECT_EQ(positions[0], (std::array<float, 3>{0.0f, float(zone.Terrain[0][0].Height), -0.0f}));
}

// ---- The validator and the command line -------------------------------------------------

void ExpectValid(const std::string& path)
{
    REQUIRE_PROGRAMS("node");
    REQUIRE_OR_SKIP(fs::exists(ValidatorModule), "the glTF validator (npm gltf-validator)");
    const TRunResult run = RunProgram(orvtest::FindProgram("node"), {ValidatorScript, path});
    EXPECT_EQ(run.ExitCode, 0) << path << "\n" << run.Out << run.Err;
    EXPECT_NE(run.Out.find("\"numErrors\": 0"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("\"numWarnings\": 0"), std::string::npos) << run.Out;
}

TEST(ExportCommand, EveryFormPassesTheKhronosValidator)
{
    ScratchDir scratch;
    const std::vector<std::vector<std::string>> forms{
        {"-o", scratch.File("full.glb")},
        {"-o", scratch.File("full.gltf")},
        {"-o", scratch.File("plain.glb"), "--no-water", "--no-textures"},
        {"-o", scratch.File("plain.gltf"), "--no-textures"},
        {"-o", scratch.File("dry.gltf"), "--no-water"},
        {"-o", scratch.File("view.glb"), "--lod", "view", "--loc", "above", "--detail", "200", "--scale", "1"},
    };
    for (const auto& form : forms) {
        std::vector<std::string> args{"export", GameDir(), "111"};
        args.insert(args.end(), form.begin(), form.end());
        const TRunResult run = Tool(args, scratch.Path().string());
        ASSERT_EQ(run.ExitCode, 0) << run.Err;
        ExpectValid(form[1]);
    }
}

TEST(ExportCommand, ViewCountEqualsTheLodCommandsCount)
{
    ScratchDir scratch;
    const std::vector<std::string> camera{"--loc", "20000,40000,2500,45,70", "--detail", "180"};
    std::vector<std::string> lod{"lod", GameDir(), "5"};
    lod.insert(lod.end(), camera.begin(), camera.end());
    const TRunResult counted = Tool(lod, scratch.Path().string());
    ASSERT_EQ(counted.ExitCode, 0) << counted.Err;
    std::vector<std::string> exportArgs{"export", GameDir(), "5", "-o", scratch.File("v.glb"), "--lod", "view"};
    exportArgs.insert(exportArgs.end(), camera.begin(), camera.end());
    const TRunResult exported = Tool(exportArgs, scratch.Path().string());
    ASSERT_EQ(exported.ExitCode, 0) << exported.Err;
    const size_t triangles = Triangles(ReadBack(scratch.File("v.glb")), MeshNamed(ReadBack(scratch.File("v.glb")), "zone5-terrain"));
    EXPECT_NE(counted.Out.find("{\"triangles\": " + std::to_string(triangles) + ","), std::string::npos)
        << counted.Out << " vs " << triangles;
}

// Nothing but the given names in the directory.
std::set<std::string> Entries(const fs::path& dir)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(ExportCommand, FailuresNameTheFileAndLeaveNothingBehind)
{
    ScratchDir scratch;
    const fs::path out = scratch.Path() / "out";
    fs::create_directories(out);

    // A zone that is not there.
    TRunResult run = Tool({"export", GameDir(), "77", "-o", (out / "z.glb").string()}, scratch.Path().string());
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Err.find("dat077.mpk"), std::string::npos) << run.Err;

    // A damaged tile: the sample game copied with one DDS member cut short.
    const fs::path game = scratch.Path() / "game";
    fs::copy(SampleGame(), game, fs::copy_options::recursive);
    // Named as the tool names it: the game folder as given, then its own separators.
    const std::string texPath = game.string() + "/" + test::SystemPath("zones/zone111/tex111.mpk");
    std::vector<TMPKMember> members;
    {
        TMPKFile archive(texPath);
        for (int i = 0; i < archive.Directory().Count(); ++i) {
            const std::string name = archive.Directory().Items(i).Name;
            const auto stream = archive.ExtractToMemory(name);
            std::vector<uint8_t> bytes(stream->Bytes());
            if (name == "tex03-04.dds")
                bytes.resize(bytes.size() / 3);
            members.push_back({name, bytes, 0});
        }
    }
    WriteMPK(texPath, "tex111", members);
    for (const std::string name : {"z.glb", "z.gltf"}) {
        run = Tool({"export", game.string() + "/", "111", "-o", (out / name).string()}, scratch.Path().string());
        EXPECT_EQ(run.ExitCode, 1);
        EXPECT_NE(run.Err.find(texPath + ": tex03-04.dds: "), std::string::npos) << run.Err;
    }
    EXPECT_TRUE(Entries(out).empty());

    // A place that cannot be written: a directory under a plain file.
    const fs::path blocked = scratch.Path() / "file";
    WriteBytes(blocked, {1, 2, 3});
    run = Tool({"export", GameDir(), "111", "-o", (blocked / "z.glb").string()}, scratch.Path().string());
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Err.find("Cannot create file " + (blocked / "z.glb").string()), std::string::npos) << run.Err;

    // Wrong options are usage errors (status 2), before anything is read.
    for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{
             {"-o", "z.obj"}, {"-o", "z.glb", "--lod", "half"}, {"-o", "z.glb", "--scale", "-1"},
             {"-o", "z.glb", "--loc", "1,2"}, {"-o", "z.glb", "--lod", "view", "--detail", "0"}}) {
        std::vector<std::string> args{"export", GameDir(), "111"};
        args.insert(args.end(), wrong.begin(), wrong.end());
        EXPECT_EQ(Tool(args, out.string()).ExitCode, 2) << wrong[1];
    }
    EXPECT_TRUE(Entries(out).empty());
}

}  // namespace
}  // namespace orv::exporttest
