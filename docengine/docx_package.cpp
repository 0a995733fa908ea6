#include "docengine/docx_package.h"

#include <vector>

#include "charset/code_page.h"
#include "docengine/docx_xml.h"

namespace quillon::docengine::docx {
namespace {

std::string FolderOf(const std::string& part) {
  const std::size_t slash = part.rfind('/');
  return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

std::string ResolveTarget(const std::string& base_folder, const std::string& target) {
  std::string joined =
      !target.empty() && target[0] == '/' ? target.substr(1) : base_folder + target;
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= joined.size()) {
    std::size_t slash = joined.find('/', start);
    if (slash == std::string::npos)
      slash = joined.size();
    const std::string piece = joined.substr(start, slash - start);
    if (piece == "..") {
      if (!parts.empty())
        parts.pop_back();
    } else if (!piece.empty() && piece != ".") {
      parts.push_back(piece);
    }
    start = slash + 1;
  }
  std::string out;
  for (const std::string& p : parts) {
    if (!out.empty())
      out += '/';
    out += p;
  }
  return out;
}

std::string RelsPartOf(const std::string& part) {
  const std::size_t slash = part.rfind('/');
  if (slash == std::string::npos)
    return "_rels/" + part + ".rels";
  return part.substr(0, slash + 1) + "_rels/" + part.substr(slash + 1) + ".rels";
}

}  // namespace

bool Package::ReadPart(const std::string& name, std::string& out, ReadResult& failure) {
  std::string error;
  bool bomb = false;
  if (!zip_.Read(name, out, error, &bomb)) {
    failure = ReadResult::Failure(error);
    if (bomb) {
      failed_ = true;
      failure_ = failure;
    }
    return false;
  }
  return true;
}

bool Package::ReadXmlPart(const std::string& name, pugi::xml_document& xml, ReadResult& failure) {
  std::string text;
  if (!ReadPart(name, text, failure))
    return false;
  const pugi::xml_parse_result result =
      xml.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata);
  if (!result) {
    failure = ReadResult::Failure("The document is damaged: the part \"" + name +
                                  "\" is not well-formed XML.");
    return false;
  }
  return true;
}

Relationships Package::ReadRelationships(const std::string& part) {
  Relationships rels;
  const std::string rels_part = RelsPartOf(part);
  if (!zip_.Has(rels_part))
    return rels;
  pugi::xml_document xml;
  ReadResult ignored;
  if (!ReadXmlPart(rels_part, xml, ignored))
    return rels;
  const std::string folder = FolderOf(part);
  for (pugi::xml_node r : xml.document_element().children()) {
    if (Local(r) != "Relationship")
      continue;
    Relationship rel;
    rel.type = AttrText(r, "Type");
    rel.external = AsciiLower(AttrText(r, "TargetMode")) == "external";
    const std::string target = AttrText(r, "Target");
    rel.target = rel.external ? target : ResolveTarget(folder, target);
    rels[AttrText(r, "Id")] = rel;
  }
  return rels;
}

std::string Package::FindByType(const Relationships& rels, std::string_view type) {
  for (const auto& [id, rel] : rels) {
    if (!rel.external && EndsWith(rel.type, type))
      return rel.target;
  }
  return std::string();
}

void Package::ReadContentTypes() {
  if (!zip_.Has("[Content_Types].xml"))
    return;
  pugi::xml_document xml;
  ReadResult ignored;
  if (!ReadXmlPart("[Content_Types].xml", xml, ignored))
    return;
  for (pugi::xml_node n : xml.document_element().children()) {
    if (Local(n) == "Override") {
      override_types_[AsciiLower(ResolveTarget("", AttrText(n, "PartName")))] =
          AsciiLower(AttrText(n, "ContentType"));
    } else if (Local(n) == "Default") {
      default_types_[AsciiLower(AttrText(n, "Extension"))] = AsciiLower(AttrText(n, "ContentType"));
    }
  }
}

std::string Package::ContentTypeOf(const std::string& part) const {
  auto it = override_types_.find(AsciiLower(part));
  if (it != override_types_.end())
    return it->second;
  const std::size_t dot = part.rfind('.');
  if (dot != std::string::npos) {
    auto d = default_types_.find(AsciiLower(part.substr(dot + 1)));
    if (d != default_types_.end())
      return d->second;
  }
  return std::string();
}

}  // namespace quillon::docengine::docx
