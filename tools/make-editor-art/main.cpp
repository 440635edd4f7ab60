// make-editor-art: paints the editor's seventeen images from vector shapes
// and the layout table, and writes them as PNG files.
//
//   make-editor-art --out DIR [--preview FILE] [--check REFDIR]
//
// --out      folder for the images, under their names of the layout table
//            (back.png, knob.png, ...); resources/img holds the checked-in set
// --preview  also writes the editor as it looks with every control drawn
// --check    compares the images with those in REFDIR by their decoded
//            pixels (not file bytes); exit status 1 when any differs
//
// Exit status 2 for bad arguments or unwritable files, 3 when a label
// collides with a control or another label.

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Art.h"
#include "EditorLayout.h"

namespace {

std::string BaseName(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash ? slash + 1 : path;
}

void MakeFolders(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0777);
  }
}

// Same size, same PNG colour type, and every premultiplied channel within
// `tolerance` (room for rounding differences of other library builds; any
// change to the artwork moves pixels much further).
bool Same(const Pixels& a, const Pixels& b, int tolerance, std::string* why) {
  if (a.width != b.width || a.height != b.height) {
    *why = "stored " + std::to_string(b.width) + "x" + std::to_string(b.height) + ", painted " +
           std::to_string(a.width) + "x" + std::to_string(a.height);
    return false;
  }
  int differing = 0, worst = 0;
  for (size_t i = 0; i < a.rgba.size(); i += 4) {
    const int aa = a.rgba[i + 3], ba = b.rgba[i + 3];
    int d = std::abs(aa - ba);
    for (int k = 0; k < 3; ++k) d = std::max(d, std::abs(a.rgba[i + k] * aa / 255 - b.rgba[i + k] * ba / 255));
    if (d > tolerance) ++differing;
    worst = std::max(worst, d);
  }
  if (differing) {
    *why = std::to_string(differing) + " pixels differ (by up to " + std::to_string(worst) + ")";
    return false;
  }
  return true;
}

int Usage() {
  std::fprintf(stderr, "usage: make-editor-art --out DIR [--preview FILE] [--check REFDIR]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string out, preview, check;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) return Usage();
    if (a == "--out") out = argv[++i];
    else if (a == "--preview") preview = argv[++i];
    else if (a == "--check") check = argv[++i];
    else return Usage();
  }
  if (out.empty()) return Usage();

  std::string error;
  if (!LoadFaces(&error)) {
    std::fprintf(stderr, "make-editor-art: %s\n", error.c_str());
    return 2;
  }
  MakeFolders(out);

  int status = 0;
  std::vector<Pixels> images(kEditorImageCount + 1);
  std::vector<std::string> problems;
  if (!PaintBackground(&images[LayoutImageId::kBack], &problems)) {
    for (const std::string& p : problems) std::fprintf(stderr, "make-editor-art: %s\n", p.c_str());
    status = 3;
  }
  for (int id = 1; id <= kEditorImageCount; ++id) {
    const LayoutImage& img = *FindEditorImage(id);
    if (id != LayoutImageId::kBack) images[id] = PaintImage(id);
    const std::string path = out + "/" + BaseName(img.name);
    if (!WritePng(path, images[id], img.rgba, &error)) {
      std::fprintf(stderr, "make-editor-art: %s\n", error.c_str());
      return 2;
    }
  }

  if (!preview.empty()) {
    const size_t slash = preview.rfind('/');
    if (slash != std::string::npos) MakeFolders(preview.substr(0, slash));
    if (!WritePng(preview, PaintPreview(images), false, &error)) {
      std::fprintf(stderr, "make-editor-art: %s\n", error.c_str());
      return 2;
    }
  }

  if (!check.empty()) {
    for (int id = 1; id <= kEditorImageCount; ++id) {
      const LayoutImage& img = *FindEditorImage(id);
      const std::string path = check + "/" + BaseName(img.name);
      Pixels ref;
      bool alpha = false;
      std::string why;
      if (!ReadPng(path, &ref, &alpha, &why)) {
      } else if (alpha != img.rgba) {
        why = img.rgba ? "stored without alpha" : "stored with alpha";
      } else if (Same(images[id], ref, 2, &why)) {
        continue;
      }
      std::fprintf(stderr, "make-editor-art: %s does not match its source: %s\n", path.c_str(), why.c_str());
      status = status ? status : 1;
    }
    if (status == 0) std::printf("make-editor-art: all %d images match %s\n", kEditorImageCount, check.c_str());
  }
  ReleaseFaces();
  return status;
}
