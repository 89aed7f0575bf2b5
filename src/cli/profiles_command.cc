// "profiles": the catalogue as loaded, with every profile's current values,
// value lists, styles and quick settings.
#include <cstdio>

#include "cli/cli_context.h"
#include "cli/json_writer.h"
#include "profiles/profile_catalogue.h"

namespace tarn::cli {
namespace {

void WriteProfileJson(JsonWriter& w, const AVOutputProfile& p) {
  w.BeginObject()
      .Field("id", p.listIndex)
      .Field("category", p.category)
      .Field("format", p.format)
      .Field("ext", p.ext)
      .Field("short", p.descShort)
      .Field("long", p.descLong);
  for (const auto& item : kProfileValueItems) w.Field(item.jsonName, (p.*item.member).value);
  w.Key("lists").BeginObject();
  for (const auto& item : kProfileValueItems) {
    w.Key(item.jsonName).BeginArray();
    for (const auto& v : (p.*item.member).valueList) w.String(v->value);
    w.EndArray();
  }
  w.EndObject();
  w.Key("styles").BeginObject();
  for (const auto& item : kProfileValueItems) w.Field(item.jsonName, (p.*item.member).style);
  w.EndObject();
  w.Key("quickSettings").BeginArray();
  for (const auto& q : p.quickSettings)
    w.BeginObject().Field("id", q->id).Field("name", q->name).Field("vb", q->vb).Field("ab", q->ab).EndObject();
  w.EndArray();
  w.EndObject();
}

int PrintJson(const ProfileCatalogue& c) {
  JsonWriter w;
  w.BeginObject();
  w.Key("categories").BeginArray();
  for (size_t i = 0; i < c.categories.size(); ++i) {
    const auto& cat = *c.categories[i];
    w.BeginObject()
        .Field("position", static_cast<int64_t>(i))
        .Field("id", cat.id)
        .Field("name", cat.name)
        .Field("visible", cat.hasProfiles != 0)
        .Field("icon", cat.profileIconIndex)
        .Field("profileIDStart", cat.profileIDStart)
        .EndObject();
  }
  w.EndArray();
  w.Key("profiles").BeginArray();
  for (const auto& p : c.profiles) WriteProfileJson(w, *p);
  w.EndArray();
  const AVOutputProfile* current = c.CurrentProfile();
  w.Key("current");
  if (current) w.Int(current->listIndex);
  else w.Int(-1);
  w.EndObject();
  std::printf("%s\n", w.Text().c_str());
  return kExitOk;
}

int PrintText(const ProfileCatalogue& c) {
  std::printf("Categories:\n");
  for (size_t i = 0; i < c.categories.size(); ++i) {
    const auto& cat = *c.categories[i];
    std::printf("  %2zu  %-28s start %-4d %s\n", i, cat.name.c_str(), cat.profileIDStart,
                cat.hasProfiles ? "shown" : "hidden");
  }
  std::printf("\nProfiles:\n");
  const AVOutputProfile* current = c.CurrentProfile();
  for (const auto& p : c.profiles) {
    std::printf("%s %4d  %-8s .%-4s %s\n", p.get() == current ? "*" : " ", p->listIndex, p->format.c_str(),
                p->ext.c_str(), p->descShort.c_str());
    std::printf("         video %s %s %s kbit/s %s fps; audio %s %s kbit/s %s Hz %s ch; %s\n",
                p->videoCodec.value.c_str(), p->videoSize.value.c_str(), p->videoBitrate.value.c_str(),
                p->frameRate.value.c_str(), p->audioCodec.value.c_str(), p->audioBitrate.value.c_str(),
                p->sampleRate.value.c_str(), p->channels.value.c_str(), p->aspectRate.value.c_str());
  }
  std::printf("\n%zu profiles; current: %s\n", c.profiles.size(), current ? current->descShort.c_str() : "none");
  return kExitOk;
}

}  // namespace

int RunProfiles(CliContext& ctx) { return ctx.json ? PrintJson(*ctx.catalogue) : PrintText(*ctx.catalogue); }

}  // namespace tarn::cli
