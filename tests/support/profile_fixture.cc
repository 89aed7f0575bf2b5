#include "profile_fixture.h"

#include "test_support.h"

namespace tarn::test {
namespace {

std::string ValueItem(const std::string& tag, const std::vector<std::string>& values, int defaultPos,
                      int style = 5) {
  std::string current = defaultPos >= 0 && static_cast<size_t>(defaultPos) < values.size() ? values[defaultPos] : "";
  std::string xml = "<" + tag + " value=\"" + current + "\" list_index=\"" + std::to_string(defaultPos) +
                    "\" value_list_count=\"" + std::to_string(values.size()) + "\" style=\"" +
                    std::to_string(style) + "\">";
  for (const auto& v : values) xml += "<value_list value=\"" + v + "\"/>";
  return xml + "</" + tag + ">\n";
}

}  // namespace

std::string ProfileXml(const ProfileSpec& s) {
  std::string xml = "<?xml version=\"1.0\"?>\n<output_profile>\n";
  xml += "<format format=\"" + s.format + "\" ext=\"" + s.ext + "\" desc_s=\"" + s.name + "\" desc_l=\"" + s.name +
         " long\" list_index=\"" + std::to_string(s.listIndex) + "\" ProfileType=\"" + s.category +
         "\" ProfileIcon=\"3\"/>\n";
  xml += "<parameters>\n<quicksettings>\n<quicksetting style=\"5\" list_index=\"" + std::to_string(s.quickDefault) +
         "\" value_list_count=\"2\">\n";
  xml += "<item id=\"0\" name=\"Low\" vb=\"0\" ab=\"0\"/>\n<item id=\"1\" name=\"High\" vb=\"2\" ab=\"1\"/>\n";
  xml += "</quicksetting>\n</quicksettings>\n<video>\n";
  xml += ValueItem("codec", {"mpeg4", "h264"}, 0);
  xml += ValueItem("size", {"320x240", "640x480"}, 0);
  xml += ValueItem("bitrate", s.videoBitrates, s.videoBitrateDefault);
  xml += ValueItem("framerate", {"25", "29.97"}, 1);
  xml += ValueItem("tvmode", {"None"}, 0, 1);
  xml += "</video>\n<audio>\n";
  xml += ValueItem("codec", {s.audioCodec}, 0, 1);
  xml += ValueItem("bitrate", s.audioBitrates, s.audioBitrateDefault);
  xml += ValueItem("samplerate", {"44100", "48000"}, 0);
  xml += ValueItem("channel", {"1", "2"}, 1);
  xml += ValueItem("aspectrate", {"Keep original aspect rate"}, 0, 1);
  xml += "</audio>\n</parameters>\n</output_profile>\n";
  return xml;
}

std::string ProfileConfigXml(const std::vector<std::string>& names, const std::vector<int>& starts) {
  std::string xml = "<?xml version=\"1.0\"?>\n<profile_config>\n";
  for (size_t i = 0; i < names.size(); ++i) {
    int start = i < starts.size() ? starts[i] : 0;
    xml += "<profile_item id=\"" + std::to_string(i) + "\" name=\"" + names[i] + "\" profileIDStart=\"" +
           std::to_string(start) + "\" profileIconIndex=\"" + std::to_string(i) + "\"/>\n";
  }
  return xml + "</profile_config>\n";
}

std::vector<std::string> StandardCategoryNames() {
  std::vector<std::string> names = {"Recent"};
  for (int i = 1; i <= 16; ++i) names.push_back("C" + std::to_string(i));
  names.push_back("All");
  return names;
}

void WriteCatalogue(const std::string& programFolder, const std::vector<std::string>& categories,
                    const std::vector<ProfileSpec>& profiles, const std::vector<int>& starts) {
  WriteFile(programFolder + "profile/ProfileConfig.xml", ProfileConfigXml(categories, starts));
  for (const auto& p : profiles) WriteFile(programFolder + "profile/" + p.subfolder + "/" + p.file, ProfileXml(p));
}

}  // namespace tarn::test
