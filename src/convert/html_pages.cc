#include "convert/html_pages.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace tarn {

std::string FlvPageText(const std::string& movie, int width, int height) {
  const std::string w = std::to_string(width);
  const std::string h = std::to_string(height);
  std::string page;
  page += "<html><head><title>Tarn Software</title>\n";
  page += "<style><!-- \\\\\n";
  page += "body,td,a,.h{font-family:arial,sans-serif;}\n";
  page += "a{text-decoration:none; color:blue}\n";
  page += ".h{font-size: 20px;}\n";
  page += "//--></style></head><body>\n";
  page += "<table height=100% width=100%>\n";
  page += "<tr><td valign=top align=center><object classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" codebase=\"";
  page += kPluginCabinetAddress;
  page += "#version=6,0,29,0\" type=\"application/x-shockwave-flash\" data=\"flv_player.swf?file=" + movie +
          "\" width=" + w + " height=" + h + " wmode=\"transparent\">\n";
  page += "<param name=\"movie\" value=\"flv_player.swf?file=" + movie + "\"/>\n";
  page += "<param name=\"wmode\" value=\"transparent\"/>\n";
  page += "<embed src=\"flv_player.swf?" + movie + "\" wmode=transparent WIDTH=" + w + " HEIGHT=" + h +
          " TYPE=\"application/x-shockwave-flash\" PLUGINSPAGE=\"";
  page += kPluginDownloadAddress;
  page += "\"></embed></object></td></tr>\n";
  page += "<tr><td align=center><font size=-2><a href=\"";
  page += kMakerWebSiteAddress;
  page += "\">Made with Tarn Orvane</a></font></td></tr></table></body></html>";
  return page;
}

std::string SwfPageText(const std::string& movie, int width, int height) {
  const std::string w = std::to_string(width);
  const std::string h = std::to_string(height);
  std::string page;
  page += "<!-- saved from url=(0013)about:internet -->\n";
  page += "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">";
  page += "<HTML>\n";
  page += "<HEAD>\n";
  page += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />\n";
  page += "<TITLE>Tarn Software</TITLE>\n";
  page += "</HEAD>\n";
  page += "<BODY bgcolor=\"#ffffff\"Onload=\"javascript:set_movie('" + movie + "'); fs_play(); fs_color(1)\">\n";
  page += "<script language=\"JavaScript\">\n";
  page += "<!--\n";
  page += "var isInternetExplorer = navigator.appName.indexOf(\"Microsoft\") != -1;\n";
  page += "function fs_player_DoFSCommand(command, args) {\n";
  page += "var fs_playerObj = isInternetExplorer ? document.all.fs_player : document.fs_player;\n";
  page += "   if(command=='error')\n";
  page += " {alert(\"ERROR! \"+args);}\n";
  page += "}\n";
  page += "function set_movie(tt1)\n";
  page += "{\n";
  page += " document.all['fs_player'].FlashVars='movie_name='+tt1;\n";
  page += "}\n";
  page += "function fs_play()\n";
  page += "{\n";
  page += " document.all['fs_player'].FlashVars='player_command=play';\n";
  page += "}\n";
  page += "function fs_stop()\n";
  page += "{\n";
  page += " document.all['fs_player'].FlashVars='player_command=stop';\n";
  page += "}\n";
  page += "function fs_color(tt1)\n";
  page += "{\n";
  page += " document.all['fs_player'].FlashVars='player_color='+tt1;\n";
  page += "}\n";
  page += "//-->\n";
  page += "</script>\n";
  page += "<TABLE WIDTH=\"100%\" HEIGHT=\"100%\">\n";
  page += "<TR><TD>\n";
  page += "<CENTER>\n";
  page += "<object classid=\"clsid:d27cdb6e-ae6d-11cf-96b8-444553540000\"\n";
  page += " codebase=\"";
  page += kPluginCabinetAddress;
  page += "#version=8,0,0,0\"\n";
  page += "WIDTH=\"" + w + "\" HEIGHT=\"" + h + "\"  id=\"fs_player\" align=\"middle\">\n";
  page += "<param name=\"allowScriptAccess\" value=\"sameDomain\" />\n";
  page += "<param name=\"movie\" value=\"swf_player.swf\" />\n";
  page += "<param name=\"quality\" value=\"high\" />\n";
  page += "<param name=\"bgcolor\" value=\"#ffffff\" />\n";
  page += "<embed src=\"" + movie + "\" quality=\"high\" bgcolor=\"#ffffff\" WIDTH=\"" + w + "\" HEIGHT=\"" + h +
          "\" \n";
  page += "swLiveConnect=true id=\"fs_player\" name=\"fs_player\" align=\"middle\" allowScriptAccess=\"sameDomain\" "
          "type=\"application/x-shockwave-flash\" pluginspage=\"";
  page += kPluginDownloadAddress;
  page += "\" />\n";
  page += "</OBJECT>\n";
  page += "</CENTER>\n";
  page += "</TD></TR>\n";
  page += "</TABLE>\n";
  page += "</BODY>\n";
  page += "</HTML>\n";
  return page;
}

bool WriteHtmlPage(const std::string& pagePath, const std::string& text) {
  std::ofstream out(pagePath, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return static_cast<bool>(out);
}

bool CopyPlayerMovie(const std::string& programFolder, const std::string& outputFolder,
                     const std::string& playerName) {
  std::error_code ec;
  std::filesystem::copy_file(programFolder + playerName, outputFolder + playerName,
                             std::filesystem::copy_options::overwrite_existing, ec);
  return !ec;
}

}  // namespace tarn
