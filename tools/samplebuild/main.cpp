// samplebuild: makes the sample game's data folders from its sources (texts converted to
// Shift-JIS) and from pictures and sounds it generates; puxpack then packs each folder.
//
//   samplebuild <sample source folder> <output folder>
//
// writes <output>/system (the "SYSTEM" picture and the system sounds), <output>/script
// (scenario, "iv.txt", "config.xml" and the scene pictures) and <output>/sound (bgm/, voice/,
// se/). Everything is drawn from fixed seeds, so each run writes the same bytes.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/utf.h"
#include "tools/samplebuild/samplebuild.h"

namespace {

using samplebuild::OutputFile;

bool WriteAll(const std::u16string& folder, const std::vector<OutputFile>& files, std::string& error) {
  for (const OutputFile& f : files) {
    const std::u16string path = folder + u"/" + platform::Utf8ToWide(f.path);
    const size_t slash = path.rfind(u'/');
    if (!platform::EnsureFolder(path.substr(0, slash))) {
      error = "'" + platform::WideToUtf8(path.substr(0, slash)) + "': cannot be created";
      return false;
    }
    if (!platform::WriteWholeFileAtomic(path, f.bytes.data(), f.bytes.size())) {
      error = "'" + platform::WideToUtf8(path) + "': cannot be written";
      return false;
    }
  }
  return true;
}

// Every .txt and .xml file of the source's script folder, converted.
bool ConvertTexts(const std::u16string& source, std::vector<OutputFile>& out, std::string& error) {
  const std::u16string folder = source + u"/script";
  const auto entries = platform::ListDirectory(folder);
  if (entries.empty()) {
    error = "'" + platform::WideToUtf8(folder) + "': no sources";
    return false;
  }
  for (const platform::DirEntry& e : entries) {
    const std::string name = platform::WideToUtf8(e.name);
    const bool text = name.size() > 4 && (name.ends_with(".txt") || name.ends_with(".xml"));
    if (e.isDirectory || !text) continue;
    std::vector<uint8_t> utf8;
    if (!platform::ReadWholeFile(folder + u"/" + e.name, utf8)) {
      error = "'" + name + "': cannot be read";
      return false;
    }
    OutputFile file{name, {}};
    if (!samplebuild::ConvertTextToSjis(utf8, file.bytes, error)) {
      error = name + ": " + error;
      return false;
    }
    out.push_back(std::move(file));
  }
  return true;
}

bool Build(const std::u16string& source, const std::u16string& output, std::string& error) {
  std::vector<OutputFile> system, script, sound;
  samplebuild::Canvas picture(1, 1);
  if (!samplebuild::DrawSystemPicture(picture, error)) return false;
  OutputFile systemPng{"SYSTEM.png", {}};
  if (!samplebuild::EncodePng(picture, true, systemPng.bytes, error)) return false;
  system.push_back(std::move(systemPng));
  if (!samplebuild::MakeSystemSounds(system, error)) return false;
  if (!ConvertTexts(source, script, error)) return false;
  if (!samplebuild::MakeScenePictures(script, error)) return false;
  if (!samplebuild::MakeSelectPictures(script, error)) return false;
  if (!samplebuild::MakeCgPictures(script, error)) return false;
  if (!samplebuild::MakeSaveThumbnails(script, error)) return false;
  if (!samplebuild::MakeStreamSounds(sound, error)) return false;
  if (!samplebuild::MakeScreenFiles(script, sound, error)) return false;
  if (!samplebuild::MakeAlbumData(script, sound, error)) return false;

  // Each folder is made afresh, so nothing of an earlier build is packed with it.
  for (const char16_t* name : {u"system", u"script", u"sound"}) {
    const std::u16string folder = output + u"/" + name;
    if (platform::PathExists(folder) && !platform::RemoveTree(folder)) {
      error = "'" + platform::WideToUtf8(folder) + "': cannot be emptied";
      return false;
    }
  }
  return WriteAll(output + u"/system", system, error) && WriteAll(output + u"/script", script, error) &&
         WriteAll(output + u"/sound", sound, error);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: samplebuild <sample source folder> <output folder>\n");
    return 2;
  }
  std::string error;
  if (!Build(platform::Utf8ToWide(argv[1]), platform::Utf8ToWide(argv[2]), error)) {
    std::fprintf(stderr, "samplebuild: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
