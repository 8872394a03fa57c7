// LWOB reading, measuring, planar mapping and the set-up of the four objects.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "assets/objects.h"
#include "support/lwo_writer.h"

namespace fs = std::filesystem;

namespace {

class TempFolder {
public:
    TempFolder() {
        std::random_device seed;
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::path(testing::TempDir()) /
                ("sixscene_lwo_" + std::string(info->name()) + "_" + std::to_string(seed()));
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string Write(const std::string& name, const lwo::Bytes& bytes) const {
        const std::string file = (path_ / name).string();
        EXPECT_TRUE(lwo::WriteFile(file, bytes));
        return file;
    }
    std::string Path() const { return path_.string(); }

private:
    fs::path path_;
};

// Every corner of a unit cube centred on the origin; bit 0 = +x, 1 = +y, 2 = +z.
std::vector<lwo::Point> CubePoints() {
    std::vector<lwo::Point> points;
    for (int i = 0; i < 8; ++i) {
        points.push_back({(i & 1) ? 0.5f : -0.5f, (i & 2) ? 0.5f : -0.5f, (i & 4) ? 0.5f : -0.5f});
    }
    return points;
}

// Six quads, each clockwise seen from outside.
std::vector<lwo::Polygon> CubeQuads() {
    return {{{0, 2, 3, 1}}, {{4, 5, 7, 6}}, {{0, 4, 6, 2}},
            {{1, 3, 7, 5}}, {{0, 1, 5, 4}}, {{2, 6, 7, 3}}};
}

void ExpectSane(const Object3D& object) {
    ASSERT_EQ(object.faceCount, static_cast<int32_t>(object.faces.size()));
    ASSERT_EQ(object.modelPoints, object.modelPointStore.data());
    ASSERT_EQ(static_cast<size_t>(object.pointCount), object.modelPointStore.size());
    ASSERT_EQ(static_cast<size_t>(object.pointCount), object.cameraPoints.size());
    ASSERT_EQ(static_cast<size_t>(object.pointCount), object.screenPoints.size());
    ASSERT_EQ(static_cast<size_t>(object.pointCount), object.normals.size());
    ASSERT_EQ(static_cast<size_t>(object.pointCount), object.intensities.size());
    for (const Face& face : object.faces) {
        for (int32_t index : face.index) {
            ASSERT_GE(index, 0);
            ASSERT_LT(index, object.pointCount);
        }
    }
}

TEST(LightWave, ReadsPointsFacesAndResetsPlacement) {
    TempFolder folder;
    const std::string file = folder.Write(
        "tri.lwo", lwo::Object({{1.0f, -0.5f, 0.25f}, {0, 0, 0}, {2, 0, 0}, {0, 0, 0}, {0, 0, 0},
                                {0, 3, 0}},
                               {{{0, 5, 2}, 1}, {{2, 1, 0}, 7}}));
    Object3D object;
    object.position = {1, 2, 3};
    object.angles = {4, 5, 6};
    object.faceTextures.resize(4);
    object.width = 77;
    std::string error;
    ASSERT_TRUE(LoadLightWaveObject(object, file, &error)) << error;
    ExpectSane(object);
    EXPECT_EQ(object.pointCount, 6);
    EXPECT_EQ(object.modelPoints[0].x, 100.0);
    EXPECT_EQ(object.modelPoints[0].y, -50.0);
    EXPECT_EQ(object.modelPoints[0].z, 25.0);
    ASSERT_EQ(object.faceCount, 2);
    EXPECT_EQ(object.faces[0].index[1], 5);
    EXPECT_EQ(object.faces[0].index[2], 2);
    EXPECT_EQ(object.faces[1].index[0], 2);
    for (const Face& face : object.faces) EXPECT_EQ(face.colour, 0xFFFFFFu);
    EXPECT_TRUE(object.faceTextures.empty());
    EXPECT_EQ(object.position.z, 0.0);
    EXPECT_EQ(object.angles.x, 0.0);
    EXPECT_EQ(object.scale.y, 1.0);
    EXPECT_EQ(object.nearZ, 0.5);
    EXPECT_EQ(object.width, 77);  // not the loader's business
}

TEST(LightWave, QuadCubeBecomesTwelveOutwardTriangles) {
    TempFolder folder;
    const std::string file = folder.Write("cube.lwo", lwo::Object(CubePoints(), CubeQuads()));
    Object3D object;
    ASSERT_TRUE(LoadLightWaveObject(object, file));
    ExpectSane(object);
    ASSERT_EQ(object.faceCount, 12);
    const auto quads = CubeQuads();
    for (size_t q = 0; q < quads.size(); ++q) {
        const auto& v = quads[q].vertices;
        const Face& first = object.faces[2 * q];
        const Face& second = object.faces[2 * q + 1];
        EXPECT_EQ(first.index[0], v[0]);
        EXPECT_EQ(first.index[1], v[1]);
        EXPECT_EQ(first.index[2], v[2]);
        EXPECT_EQ(second.index[0], v[0]);
        EXPECT_EQ(second.index[1], v[2]);
        EXPECT_EQ(second.index[2], v[3]);
    }
    // The fan keeps the file's winding: every normal points away from the centre.
    object.position = {0, 0, 0};
    BuildMatrices(object);
    TransformPoints(object);
    for (int32_t f = 0; f < object.faceCount; ++f) {
        Vector3 n;
        FaceNormal(object, f, n);
        Vector3 centre;
        for (int32_t i : object.faces[f].index) {
            centre.x += object.cameraPoints[i].x;
            centre.y += object.cameraPoints[i].y;
            centre.z += object.cameraPoints[i].z;
        }
        EXPECT_GT(n.x * centre.x + n.y * centre.y + n.z * centre.z, 0) << "face " << f;
    }
}

TEST(LightWave, DetailPolygonsPointsAndLinesGiveNoFaces) {
    TempFolder folder;
    lwo::Polygon withDetails{{0, 1, 2, 3}, 2, {{{4, 5, 6}, 1}, {{4, 5, 6, 7, 0}, 1}}};
    const std::string file = folder.Write(
        "detail.lwo",
        lwo::Object(CubePoints(), {withDetails, {{7}, 1}, {{6, 7}, 1}, {{1, 2, 3}, 1}}));
    Object3D object;
    std::string error;
    ASSERT_TRUE(LoadLightWaveObject(object, file, &error)) << error;
    ExpectSane(object);
    ASSERT_EQ(object.faceCount, 3);
    EXPECT_EQ(object.faces[0].index[2], 2);
    EXPECT_EQ(object.faces[1].index[1], 2);
    EXPECT_EQ(object.faces[1].index[2], 3);
    EXPECT_EQ(object.faces[2].index[0], 1);
    EXPECT_EQ(object.faces[2].index[1], 2);
    EXPECT_EQ(object.faces[2].index[2], 3);
}

TEST(LightWave, ExtraChunksAndPadBytesAreSkipped) {
    TempFolder folder;
    lwo::Bytes surf = lwo::SurfaceNames({"Red"});
    lwo::PutU32(surf, 0x434F4C52);  // "COLR"
    lwo::PutU16(surf, 4);
    lwo::PutU32(surf, 0xFF000000);
    const lwo::Bytes odd{'x', 'y', 'z'};
    const std::string file = folder.Write(
        "extra.lwo", lwo::Form({{"TAGS", odd},
                                {"SRFS", lwo::SurfaceNames({"Red", "Blue"})},
                                {"BBOX", odd},
                                {"PNTS", lwo::Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}})},
                                {"CRVS", odd},
                                {"POLS", lwo::Polygons({{{0, 2, 1}, 2}})},
                                {"SURF", surf}}));
    Object3D object;
    std::string error;
    ASSERT_TRUE(LoadLightWaveObject(object, file, &error)) << error;
    ExpectSane(object);
    EXPECT_EQ(object.pointCount, 3);
    EXPECT_EQ(object.modelPoints[1].x, 100.0);
    ASSERT_EQ(object.faceCount, 1);
    EXPECT_EQ(object.faces[0].index[1], 2);
}

TEST(LightWave, LengthsAreDividedAndTrailingBytesIgnored) {
    TempFolder folder;
    lwo::Bytes points = lwo::Points({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
    lwo::PutU32(points, 0x3F800000);  // 4 stray bytes: not a point
    lwo::Bytes polygons = lwo::Polygons({{{0, 1, 2}}, {{2, 1, 0}}});
    polygons.insert(polygons.end(), {0, 3, 0, 1, 0});  // a polygon cut short
    const std::string file = folder.Write(
        "short.lwo", lwo::Form({{"SRFS", lwo::SurfaceNames({"A"})},
                                {"PNTS", points},
                                {"POLS", polygons}}));
    Object3D object;
    std::string error;
    ASSERT_TRUE(LoadLightWaveObject(object, file, &error)) << error;
    ExpectSane(object);
    EXPECT_EQ(object.pointCount, 3);
    EXPECT_EQ(object.faceCount, 2);

    ASSERT_TRUE(LoadLightWaveObject(object, folder.Write("empty.lwo", lwo::Object({}, {}))));
    ExpectSane(object);
    EXPECT_EQ(object.pointCount, 0);
    EXPECT_EQ(object.faceCount, 0);
}

TEST(LightWave, LargeIndicesReadSigned) {
    TempFolder folder;
    std::vector<lwo::Point> many(32769);
    many[32767] = {3, 0, 0};
    Object3D object;
    ASSERT_TRUE(LoadLightWaveObject(object,
                                    folder.Write("max.lwo", lwo::Object(many, {{{0, 32767, 1}}}))));
    EXPECT_EQ(object.faces[0].index[1], 32767);
    EXPECT_EQ(object.modelPoints[object.faces[0].index[1]].x, 300.0);

    // 0x8000 reads as -32768 and can't be a point, whatever the point count.
    std::string error;
    const std::string file = folder.Write("neg.lwo", lwo::Object(many, {{{0, 0x8000, 1}}}));
    EXPECT_FALSE(LoadLightWaveObject(object, file, &error));
    EXPECT_NE(error.find(file), std::string::npos);
    EXPECT_NE(error.find("-32768"), std::string::npos) << error;
}

TEST(LightWave, FailuresNameTheFileAndLeaveTheObjectAlone) {
    TempFolder folder;
    const auto points = lwo::Points({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
    const auto triangle = lwo::Polygons({{{0, 1, 2}}});
    lwo::Bytes overlong = lwo::Object({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{{0, 1, 2}}});
    overlong[overlong.size() - 11] = 11;  // POLS length 10 -> 11, one byte more than there is
    struct Case {
        std::string name;
        lwo::Bytes bytes;
        std::string reason;
    } cases[] = {
        {"nopols.lwo", lwo::Form({{"SRFS", {}}, {"PNTS", points}}), "no POLS chunk"},
        {"nosrfs.lwo", lwo::Form({{"PNTS", points}, {"POLS", triangle}}), "no SRFS chunk"},
        {"order.lwo", lwo::Form({{"SRFS", {}}, {"POLS", triangle}, {"PNTS", points}}),
         "no POLS chunk"},
        {"overlong.lwo", overlong, "chunk POLS runs past the end of the file"},
        {"index.lwo", lwo::Form({{"SRFS", {}}, {"PNTS", points}, {"POLS", lwo::Polygons({{{0, 3, 1}}})}}),
         "vertex index 3 is outside the 3 points"},
        {"nan.lwo", lwo::Object({{0, NAN, 0}}, {}), "point 0 is not a finite number"},
    };
    for (const Case& c : cases) {
        const std::string file = folder.Write(c.name, c.bytes);
        Object3D object;
        object.pointCount = 99;
        object.nearZ = 7;
        std::string error;
        EXPECT_FALSE(LoadLightWaveObject(object, file, &error)) << c.name;
        EXPECT_EQ(error, file + ": " + c.reason);
        EXPECT_EQ(object.pointCount, 99);
        EXPECT_EQ(object.nearZ, 7);
        EXPECT_TRUE(object.faces.empty());
    }
    Object3D object;
    std::string error;
    EXPECT_FALSE(LoadLightWaveObject(object, folder.Path() + "/missing.lwo", &error));
    EXPECT_EQ(error, folder.Path() + "/missing.lwo: can't open the file");
    EXPECT_FALSE(LoadLightWaveObject(object, folder.Path(), &error));  // a folder
    EXPECT_FALSE(LoadLightWaveObject(object, folder.Path() + "/missing.lwo"));  // no error wanted
}

TEST(LightWave, DamagedFilesFailOrLoadInRange) {
    TempFolder folder;
    lwo::Polygon withDetail{{0, 1, 2, 3}, 1, {{{4, 5, 6}, 1}}};
    auto polygons = CubeQuads();
    polygons.push_back(withDetail);
    const lwo::Bytes good = lwo::Object(CubePoints(), polygons);
    const std::string file = (fs::path(folder.Path()) / "damaged.lwo").string();

    int loaded = 0;
    for (size_t length = 0; length < good.size(); ++length) {
        ASSERT_TRUE(lwo::WriteFile(file, lwo::Bytes(good.begin(), good.begin() + length)));
        Object3D object;
        if (LoadLightWaveObject(object, file)) {
            ++loaded;
            ExpectSane(object);
            EXPECT_LE(object.faceCount, 14);
        }
    }
    // POLS comes last: every shorter file lacks a chunk or runs past its end.
    EXPECT_EQ(loaded, 0);

    std::mt19937 random(20240611);
    int failed = 0;
    loaded = 0;
    for (int round = 0; round < 1000; ++round) {
        lwo::Bytes bytes = good;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i) {
            bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
        }
        ASSERT_TRUE(lwo::WriteFile(file, bytes));
        Object3D object;
        std::string error;
        if (LoadLightWaveObject(object, file, &error)) {
            ++loaded;
            ExpectSane(object);
        } else {
            ++failed;
            EXPECT_EQ(error.rfind(file + ": ", 0), 0u) << error;
        }
    }
    // Both outcomes are exercised.
    EXPECT_GT(loaded, 100);
    EXPECT_GT(failed, 100);
}

Object3D* Loaded(Object3D& object, const TempFolder& folder, const std::vector<lwo::Point>& points,
                 const std::vector<lwo::Polygon>& polygons) {
    const std::string file = folder.Write("obj.lwo", lwo::Object(points, polygons));
    return LoadLightWaveObject(object, file) ? &object : nullptr;
}

TEST(Measure, TwiceTheLargestMagnitudePerAxis) {
    TempFolder folder;
    Object3D object;
    ASSERT_TRUE(Loaded(object, folder, {{-0.03f, 0.01f, 0}, {0.02f, -0.04f, 0}}, {}));
    object.size = {99, 99, 99};
    MeasureObject(object);
    EXPECT_NEAR(object.size.x, 6, 1e-5);
    EXPECT_NEAR(object.size.y, 8, 1e-5);
    EXPECT_EQ(object.size.z, 0);
}

Image Picture(int32_t width, int32_t height) {
    Image image;
    image.width = width;
    image.height = height;
    return image;
}

TEST(PlanarMapping, ParallelProjectionCentredOnThePicture) {
    TempFolder folder;
    Object3D object;
    // One face towards -z with a corner at (100, 50), one edge-on along z.
    ASSERT_TRUE(Loaded(object, folder,
                       {{1.0f, 0.5f, 0}, {1.0f, -0.5f, 0}, {-1.0f, -0.5f, 0}, {1, 0, 1}},
                       {{{0, 2, 1}}, {{0, 1, 3}}}));
    object.position = {5, 6, 7};
    object.angles = {10, 20, 30};
    const Image picture = Picture(512, 256);
    MapTexturePlanar(object, picture, 0, 0, 0, 2, 2);
    ASSERT_EQ(object.faceTextures.size(), 2u);
    const FaceTexture& face = object.faceTextures[0];
    EXPECT_EQ(face.texture, &picture);
    EXPECT_DOUBLE_EQ(face.corner[0].u, 305.5);
    EXPECT_DOUBLE_EQ(face.corner[0].v, 102.5);
    EXPECT_DOUBLE_EQ(face.corner[1].u, 205.5);
    EXPECT_DOUBLE_EQ(face.corner[1].v, 152.5);
    // Edge-on: untouched, still untextured.
    EXPECT_EQ(object.faceTextures[1].texture, nullptr);
    EXPECT_EQ(object.faceTextures[1].corner[0].u, 0.0);
    // The placement comes back.
    EXPECT_EQ(object.position.x, 5);
    EXPECT_EQ(object.angles.z, 30);

    // Turned 180 degrees about y the model is seen mirrored.
    MapTexturePlanar(object, picture, 0, 180, 0, 2, 2);
    EXPECT_NEAR(object.faceTextures[0].corner[0].u, 205.5, 1e-9);
}

TEST(PlanarMapping, CornersOnTheEdgeStopTheFaceAndLaterCallsBuildOn) {
    TempFolder folder;
    Object3D object;
    // Face 0 reaches u = 0 exactly at its third corner; face 1 lies in the
    // yz plane, edge-on until the model is turned about y.
    ASSERT_TRUE(Loaded(object, folder,
                       {{0, 0, 0}, {-1.0f, 0, 0}, {0, 0.5f, 0}, {0, 0, 0}, {0, 0.5f, 0}, {0, 0, 0.5f}},
                       {{{0, 2, 1}}, {{3, 4, 5}}}));
    const Image picture = Picture(201, 201);  // centre (100, 100)
    MapTexturePlanar(object, picture, 0, 0, 0, 1, 1);
    const FaceTexture& face = object.faceTextures[0];
    EXPECT_EQ(face.texture, nullptr);
    EXPECT_EQ(face.corner[0].u, 100.0);
    EXPECT_EQ(face.corner[0].v, 100.0);
    EXPECT_EQ(face.corner[1].u, 100.0);
    EXPECT_EQ(face.corner[1].v, 50.0);
    EXPECT_EQ(face.corner[2].u, 0.0);
    EXPECT_EQ(face.corner[2].v, 0.0);  // never reached
    EXPECT_EQ(object.faceTextures[1].texture, nullptr);

    const Image other = Picture(201, 201);
    MapTexturePlanar(object, other, 0, 90, 0, 1, 1);
    EXPECT_EQ(object.faceTextures[1].texture, &other);
    EXPECT_EQ(object.faceTextures[0].texture, nullptr);  // edge-on now: kept
}

std::vector<lwo::Point> Panel() {
    return {{-1.0f, 0.5f, 0}, {1.0f, 0.5f, 0}, {1.0f, -0.5f, 0}, {-1.0f, -0.5f, 0}};
}

std::vector<lwo::Point> Octahedron() {
    return {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
}

void WriteShowObjects(const TempFolder& folder, bool withBallX) {
    fs::create_directories(fs::path(folder.Path()) / "obj");
    folder.Write("obj/nrect.lwo", lwo::Object(Panel(), {{{0, 1, 2, 3}}}));
    folder.Write("obj/nball.lwo", lwo::Object(Octahedron(), {{{0, 2, 4}}, {{1, 3, 5}}}));
    if (withBallX) folder.Write("obj/nballx.lwo", lwo::Object(Octahedron(), {{{4, 2, 0}}}));
    folder.Write("obj/nbox.lwo", lwo::Object(CubePoints(), CubeQuads()));
}

TEST(SetUp, PlacesAndMapsTheFourObjects) {
    TempFolder folder;
    WriteShowObjects(folder, true);
    Pictures pictures;
    pictures.zastava = Picture(512, 256);
    pictures.meta = Picture(256, 256);
    ShowObjects objects;
    std::string error;
    ASSERT_TRUE(SetUpObjects(objects, pictures, 32, folder.Path(), &error)) << error;

    for (const Object3D* o : {&objects.nrect, &objects.nball, &objects.nballx, &objects.nbox}) {
        ExpectSane(*o);
        EXPECT_EQ(o->width, 320);
        EXPECT_EQ(o->height, 240);
        EXPECT_EQ(o->rowPad, 32);
        EXPECT_EQ(o->focalLength, 128.0);
        EXPECT_EQ(o->angles.x, 0.0);
    }
    const Object3D& nrect = objects.nrect;
    EXPECT_NEAR(nrect.size.x, 200, 1e-9);
    EXPECT_NEAR(nrect.size.y, 100, 1e-9);
    EXPECT_NEAR(nrect.position.z, 200 / 2.3, 1e-9);
    EXPECT_EQ(nrect.position.x, 0.0);
    ASSERT_EQ(nrect.faceTextures.size(), 2u);
    for (const FaceTexture& t : nrect.faceTextures) EXPECT_EQ(t.texture, &pictures.zastava);
    // The outline maps just inside the picture.
    EXPECT_NEAR(nrect.faceTextures[0].corner[0].u, 255.5 - 100 / (200.0 / 512 * 1.01), 1e-9);
    EXPECT_NEAR(nrect.faceTextures[0].corner[0].v, 127.5 - 50 / (100.0 / 256 * 1.01), 1e-9);

    EXPECT_TRUE(objects.nball.faceTextures.empty());
    EXPECT_TRUE(objects.nballx.faceTextures.empty());
    EXPECT_EQ(objects.nball.position.z, 200.0);
    EXPECT_EQ(objects.nballx.position.z, 200.0);
    EXPECT_EQ(objects.nballx.faceCount, 1);

    // The box's three projections reach all six sides.
    const Object3D& nbox = objects.nbox;
    EXPECT_EQ(nbox.position.z, 200.0);
    ASSERT_EQ(nbox.faceTextures.size(), 12u);
    for (const FaceTexture& t : nbox.faceTextures) {
        EXPECT_EQ(t.texture, &pictures.meta);
        for (const TexCoord& c : t.corner) {
            EXPECT_NEAR(std::fabs(c.u - 127.5), 50 / (100.0 / 256 * 1.1), 1e-9);
            EXPECT_NEAR(std::fabs(c.v - 127.5), 50 / (100.0 / 256 * 1.1), 1e-9);
        }
    }
}

TEST(SetUp, StopsAtTheFirstMissingFile) {
    TempFolder folder;
    WriteShowObjects(folder, false);
    Pictures pictures;
    pictures.zastava = Picture(512, 256);
    pictures.meta = Picture(256, 256);
    ShowObjects objects;
    std::string error;
    EXPECT_FALSE(SetUpObjects(objects, pictures, 0, folder.Path(), &error));
    EXPECT_EQ(error, folder.Path() + "/obj/nballx.lwo: can't open the file");
    EXPECT_EQ(objects.nball.faceCount, 2);
    EXPECT_EQ(objects.nbox.pointCount, 0);
    EXPECT_EQ(objects.nbox.modelPoints, nullptr);
}

TEST(SetUp, TheShowsOwnDataLoads) {
    const std::string dir = SIXSCENE_BUILD_DIR;
    if (!fs::exists(fs::path(dir) / "obj" / "nbox.lwo")) GTEST_SKIP() << "no generated data in " << dir;
    Pictures pictures;
    pictures.zastava = Picture(512, 256);
    pictures.meta = Picture(256, 256);
    ShowObjects objects;
    std::string error;
    ASSERT_TRUE(SetUpObjects(objects, pictures, 0, dir, &error)) << error;
    for (const Object3D* o : {&objects.nrect, &objects.nball, &objects.nballx, &objects.nbox}) {
        ExpectSane(*o);
        EXPECT_GT(o->faceCount, 0);
    }
    // The panel and the box are meant to be textured all over.
    for (const Object3D* o : {&objects.nrect, &objects.nbox}) {
        for (const FaceTexture& t : o->faceTextures) EXPECT_NE(t.texture, nullptr);
    }
}

}  // namespace
