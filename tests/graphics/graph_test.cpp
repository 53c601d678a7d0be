#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

#include "graphics/graph.h"
#include "platform/handle.h"
#include "tests/graphics/graphics_test_env.h"

namespace {

class Graphs : public GraphicsTest {};

// An ImageRecord graph of w x h filled with one colour (and alpha when given).
int SolidGraph(int w, int h, unsigned r, unsigned g, unsigned b, int alpha = -1) {
  ImageRecord image;
  EXPECT_EQ(CreateImageRecord(w, h, &image), 0);
  if (alpha >= 0) SetPixelFormatArgb8888(&image.format);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      auto* p = static_cast<uint8_t*>(image.pixels) + y * image.pitch + x * 4;
      p[0] = static_cast<uint8_t>(b), p[1] = static_cast<uint8_t>(g), p[2] = static_cast<uint8_t>(r);
      p[3] = static_cast<uint8_t>(alpha < 0 ? 0 : alpha);
    }
  const int graph = CreateGraphFromImage(&image);
  ReleaseImageRecord(&image);
  return graph;
}

TEST_F(Graphs, MisusedHandlesGiveMinusOneAndDrawNothing) {
  const int live = SolidGraph(4, 4, 255, 0, 0);
  const int released = SolidGraph(4, 4, 255, 0, 0);
  ASSERT_NE(live, -1);
  ASSERT_EQ(ReleaseGraphHandle(released), 0);
  const int handles[] = {
      -1,
      0,
      released,                                                 // freed slot
      (released & ~kHandleTypeMask) | kSoundHandleType,         // another table's type
      (live & ~kHandleTypeMask) | kSoundHandleType,             // right slot, wrong type
      live ^ (1 << kHandleCheckShift),                          // stale check number
      kGraphHandleType | (kGraphHandleCapacity + 5),            // index past the table
      0x7FFFFFFF,
  };
  for (int handle : handles) {
    SCOPED_TRACE(handle);
    EXPECT_EQ(DrawGraphAt(0, 0, handle, 0), -1);
    EXPECT_EQ(DrawGraphStretched(0, 0, 8, 8, handle, 0), -1);
    EXPECT_EQ(DrawGraphRotatedF(10, 10, 1.0, 0.5, handle, 0), -1);
    EXPECT_EQ(DrawGraphQuad(0, 0, 8, 0, 8, 8, 0, 8, handle, 0), -1);
    EXPECT_EQ(GetGraphSize(handle, nullptr, nullptr), -1);
    EXPECT_EQ(SetDrawScreen(handle), -1);
    EXPECT_EQ(DeriveGraph(0, 0, 1, 1, handle), -1);
    EXPECT_EQ(ReleaseGraphHandle(handle), -1);
  }
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(Pixel(x, y), 0) << x << "," << y;
  EXPECT_EQ(SetDrawScreen(live), -1);  // not a screen graph: cannot be a target
  EXPECT_EQ(GetDrawScreen(), kBackScreen);
  EXPECT_EQ(DrawGraphAt(0, 0, live, 0), 0);
  EXPECT_EQ(Pixel(3, 3), 0xF800);
  EXPECT_EQ(ReleaseGraphHandle(live), 0);
  EXPECT_EQ(ReleaseGraphHandle(live), -1);
}

TEST_F(Graphs, ScreenGraphDrawnIntoIsNeverDrawnThroughAStaleRunTable) {
  // A fresh screen graph is black, so its run table (colour key black) skips it all.
  const int canvas = MakeScreenGraph(16, 8);
  ASSERT_NE(canvas, -1);
  ASSERT_EQ(SetDrawScreen(canvas), 0);
  EXPECT_EQ(DrawGraphAt(0, 0, canvas, 0), -1);  // a target is never its own source
  DrawFilledBox(2, 2, 10, 6, MakeScreenColor(0, 255, 0));
  ASSERT_EQ(SetDrawScreen(kBackScreen), 0);
  DrawFilledBox(0, 0, 32, 32, MakeScreenColor(0, 0, 255));
  // Keyed and whole: the run-coded path would be taken if the table were trusted.
  ASSERT_EQ(DrawGraphAt(4, 4, canvas, 1), 0);
  EXPECT_EQ(Pixel(4 + 2, 4 + 2), 0x07E0);
  EXPECT_EQ(Pixel(4 + 9, 4 + 5), 0x07E0);
  EXPECT_EQ(Pixel(4 + 0, 4 + 0), 0x001F);  // black of the graph stays keyed out

  // Copying the back screen into the graph refreshes it the same way.
  DrawFilledBox(0, 0, 16, 8, MakeScreenColor(255, 0, 0));
  ASSERT_EQ(GetDrawScreenGraph(0, 0, 16, 8, canvas), 0);
  ClearDrawScreen();
  ASSERT_EQ(DrawGraphAt(100, 100, canvas, 1), 0);
  EXPECT_EQ(Pixel(100, 100), 0xF800);
  EXPECT_EQ(Pixel(115, 107), 0xF800);
  ReleaseGraphHandle(canvas);
}

TEST_F(Graphs, TargetsResetTheDrawAreaAndTheAreaIsClampedToTheTarget) {
  const int canvas = MakeScreenGraph(20, 10);
  SetDrawArea(100, 100, 200, 200);
  ASSERT_EQ(SetDrawScreen(canvas), 0);
  EXPECT_EQ(DrawArea.left, 0);
  EXPECT_EQ(DrawArea.right, 20);
  EXPECT_EQ(DrawArea.bottom, 10);
  SetDrawArea(-5, 3, 50, 60);
  EXPECT_EQ(DrawArea.left, 0);
  EXPECT_EQ(DrawArea.top, 3);
  EXPECT_EQ(DrawArea.right, 20);
  EXPECT_EQ(DrawArea.bottom, 10);
  // Releasing the target hands drawing back to the back screen.
  ReleaseGraphHandle(canvas);
  EXPECT_EQ(GetDrawScreen(), kBackScreen);
  EXPECT_EQ(DrawArea.right, kScreenWidth);
  SetDrawArea(10, 10, 20, 20);
  DrawFilledBox(0, 0, 640, 480, 0xFFFF);
  EXPECT_EQ(Pixel(9, 10), 0);
  EXPECT_EQ(Pixel(10, 10), 0xFFFF);
  EXPECT_EQ(Pixel(19, 19), 0xFFFF);
  EXPECT_EQ(Pixel(20, 19), 0);
}

// Writes a 3 x 2 PNG; with alpha the middle column is half transparent and the right one
// fully transparent.
void WriteTestPng(const std::string& path, bool alpha) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  const int channels = alpha ? 4 : 3;
  png_set_IHDR(png, info, 3, 2, 8, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < 2; ++y) {
    // Red, green, black (the colour key of a graph without alpha).
    const png_byte rgba[3][4] = {{255, 0, 0, 255}, {0, 255, 0, 128}, {0, 0, 0, 0}};
    png_byte row[12];
    for (int x = 0; x < 3; ++x)
      for (int c = 0; c < channels; ++c) row[x * channels + c] = rgba[x][c];
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
}

TEST_F(Graphs, PngFilesLoadAsAlphaOrKeyedGraphsAndBrokenOnesAreRefused) {
  TempDir dir;
  const std::string& folder = dir.path();
  WriteTestPng(folder + "/alpha.png", true);
  WriteTestPng(folder + "/opaque.png", false);
  const std::string bytes = ReadWholeFile(folder + "/alpha.png");
  WriteWholeFile(folder + "/truncated.png", bytes.substr(0, bytes.size() - 30));
  WriteWholeFile(folder + "/notes.txt", "not an image at all");
  const int alpha = LoadGraphFromFile((folder + "/alpha.png").c_str());
  const int opaque = LoadGraphFromFile((folder + "/opaque.png").c_str());
  ASSERT_NE(alpha, -1);
  ASSERT_NE(opaque, -1);
  for (const char* bad : {"/truncated.png", "/notes.txt", "/missing.png"})
    EXPECT_EQ(LoadGraphFromFile((folder + bad).c_str()), -1) << bad;
  int w = 0, h = 0;
  EXPECT_EQ(GetGraphSize(alpha, &w, &h), 0);
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 2);

  const unsigned blue = MakeScreenColor(0, 0, 255);
  DrawFilledBox(0, 0, 64, 64, blue);
  ASSERT_EQ(DrawGraphAt(0, 0, alpha, 1), 0);
  ASSERT_EQ(DrawGraphAt(0, 10, opaque, 1), 0);
  EXPECT_EQ(Pixel(0, 0), 0xF800);
  // Green over blue at alpha 128: each field moves half way (floor).
  EXPECT_EQ(Pixel(1, 1), (((63 * 128) >> 8) << 5) | (31 + (((0 - 31) * 128) >> 8)));
  EXPECT_EQ(Pixel(2, 1), blue);  // alpha 0
  EXPECT_EQ(Pixel(0, 11), 0xF800);
  EXPECT_EQ(Pixel(1, 11), 0x07E0);  // no alpha in the file: drawn opaque
  EXPECT_EQ(Pixel(2, 11), blue);    // black is keyed out
  ReleaseGraphHandle(alpha);
  ReleaseGraphHandle(opaque);
}

// A movie layer stand-in: one 8 x 6 movie whose every frame is solid red.
struct FakeMovies {
  static inline int opened = 0, boundGraph = -1, updates = 0, closed = -1;
  static int Open(const char*, int* w, int* h, int) {
    ++opened;
    *w = 8, *h = 6;
    return 77;
  }
  static int Bind(int movie, int graph) {
    EXPECT_EQ(movie, 77);
    boundGraph = graph;
    return 0;
  }
  static int Update(int movie, int) {
    EXPECT_EQ(movie, 77);
    ++updates;
    // A 24-bit frame, as the movie layer hands them over: bytes blue, green, red.
    static uint8_t pixels[6][8 * 3];
    for (auto& row : pixels)
      for (int x = 0; x < 8; ++x) row[x * 3] = 0, row[x * 3 + 1] = 0, row[x * 3 + 2] = 255;
    ImageRecord frame = {};
    SetPixelFormatRgb888(&frame.format);
    frame.width = 8, frame.height = 6, frame.pitch = 8 * 3, frame.pixels = pixels;
    return TransferImageToGraph(boundGraph, 0, 0, &frame);
  }
  static int Close(int movie) { return closed = movie, 0; }
};

TEST_F(Graphs, FilesNoImageLoaderAcceptsBecomeMovieGraphsButBrokenPngsDoNot) {
  TempDir dir;
  const std::string& folder = dir.path();
  WriteWholeFile(folder + "/clip.ogv", "OggS and then some");
  WriteWholeFile(folder + "/broken.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
  EXPECT_EQ(LoadGraphFromFile((folder + "/clip.ogv").c_str()), -1);  // no movie layer yet

  const MovieGraphEntries entries = {FakeMovies::Open, FakeMovies::Bind, FakeMovies::Update, FakeMovies::Close};
  SetMovieGraphEntries(&entries);
  const int movie = LoadGraphFromFile((folder + "/clip.ogv").c_str());
  ASSERT_NE(movie, -1);
  EXPECT_EQ(FakeMovies::boundGraph, movie);
  int w = 0, h = 0;
  GetGraphSize(movie, &w, &h);
  EXPECT_EQ(w * 100 + h, 806);
  EXPECT_EQ(DrawGraphAt(20, 20, movie, 0), 0);  // brings the current frame in first
  EXPECT_EQ(FakeMovies::updates, 1);
  EXPECT_EQ(Pixel(20, 20), 0xF800);
  EXPECT_EQ(Pixel(27, 25), 0xF800);
  EXPECT_EQ(LoadGraphFromFile((folder + "/broken.png").c_str()), -1);
  EXPECT_EQ(FakeMovies::opened, 1);
  EXPECT_EQ(ReleaseGraphHandle(movie), 0);
  EXPECT_EQ(FakeMovies::closed, 77);
  SetMovieGraphEntries(nullptr);
}

// A picture moved into a graph at offsets that put it partly outside, on either side:
// only the overlap is written, each pixel from its own place in the picture, alpha kept.
TEST_F(Graphs, TransferAtAnyOffsetWritesOnlyTheOverlapFromTheRightPixels) {
  ImageRecord image;
  ASSERT_EQ(CreateImageRecord(4, 4, &image), 0);
  SetPixelFormatArgb8888(&image.format);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      auto* p = static_cast<uint8_t*>(image.pixels) + y * image.pitch + x * 4;
      p[0] = 0, p[1] = static_cast<uint8_t>(y * 64), p[2] = static_cast<uint8_t>(x * 64 + 8);
      p[3] = x == 3 && y == 3 ? 0 : 255;
    }
  const int graph = SolidGraph(6, 5, 0, 0, 255, 255);
  ASSERT_EQ(TransferImageToGraph(graph, -2, -1, &image), 0);
  ASSERT_EQ(TransferImageToGraph(graph, 4, 3, &image), 0);
  EXPECT_EQ(TransferImageToGraph(graph, -9, 0, &image), 0);  // wholly outside: nothing
  ASSERT_EQ(DrawGraphAt(100, 100, graph, 1), 0);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) {
      int ix = x + 2, iy = y + 1;  // from the first transfer, else the second
      if (x >= 4 && y >= 3) ix = x - 4, iy = y - 3;
      uint16_t want = 0x001F;  // the graph's own blue
      if (ix == 3 && iy == 3) want = 0;  // alpha 0: not drawn
      else if (ix < 4 && iy < 4) want = static_cast<uint16_t>(((ix * 64 + 8) >> 3) << 11 | (iy * 64 >> 2) << 5);
      EXPECT_EQ(Pixel(100 + x, 100 + y), want) << x << "," << y;
    }
  ReleaseImageRecord(&image);
  ReleaseGraphHandle(graph);
}

TEST_F(Graphs, DerivedGraphIsACopyOfTheCellAndRefusesRectanglesOutside) {
  const int sheet = MakeScreenGraph(8, 4);
  SetDrawScreen(sheet);
  DrawFilledBox(4, 0, 8, 4, 0xFFFF);
  SetDrawScreen(kBackScreen);
  const int cell = DeriveGraph(4, 0, 4, 4, sheet);
  ASSERT_NE(cell, -1);
  const int outside[][4] = {{5, 0, 4, 4}, {0, 1, 8, 4}, {-1, 0, 2, 2}, {0, 0, 0, 1}};
  for (const auto& r : outside) EXPECT_EQ(DeriveGraph(r[0], r[1], r[2], r[3], sheet), -1);
  ReleaseGraphHandle(sheet);  // the cell keeps its own pixels
  ASSERT_EQ(DrawGraphAt(50, 50, cell, 0), 0);
  EXPECT_EQ(Pixel(50, 50), 0xFFFF);
  EXPECT_EQ(Pixel(53, 53), 0xFFFF);
  EXPECT_EQ(Pixel(54, 53), 0);
  ReleaseGraphHandle(cell);
}

}  // namespace
