#include "docengine/doc_reader.h"

#include <algorithm>
#include <string>

#include "docengine/doc_crypto.h"
#include "docengine/doc_parser.h"

namespace quillon::docengine {

namespace msdoc {
namespace {

std::size_t StreamLimit(const OpenOptions& options) {
  return std::min(options.limits.max_input_bytes, options.limits.max_inflated_bytes);
}

}  // namespace

ReadResult DocParser::Parse(std::string_view data) {
  if (data.size() > options_.limits.max_input_bytes)
    return ReadResult::Failure(kTooLargeMessage);
  std::string error;
  storage_ = OleStorage::Open(data, error);
  if (!storage_)
    return ReadResult::Failure(kNotWordMessage);
  if (storage_->HasStream("EncryptionInfo") || storage_->HasStream("EncryptedPackage"))
    return ReadResult::Failure(kPasswordIncorrectMessage);
  std::size_t limit = StreamLimit(options_);
  auto word = storage_->ReadStream("WordDocument", limit);
  if (!word) {
    if (storage_->HasStream("WordDocument"))
      return ReadResult::Failure(kTooLargeMessage);
    return ReadResult::Failure(kNotWordMessage);
  }
  word_ = std::move(*word);
  if (!ParseFib(word_, fib_, error, true))
    return ReadResult::Failure(error);
  if (!fib_.encrypted && !ParseFib(word_, fib_, error))
    return ReadResult::Failure(error);
  if (fib_.word97()) {
    auto table = storage_->ReadStream(fib_.table1 ? "1Table" : "0Table", limit);
    if (!table)
      return ReadResult::Failure(kDamagedMessage);
    table_ = std::move(*table);
    if (auto d = storage_->ReadStream("Data", limit))
      data_ = std::move(*d);
    if (word_.size() + table_.size() + data_.size() > options_.limits.max_inflated_bytes)
      return ReadResult::Failure(kTooLargeMessage);
  }
  if (fib_.encrypted) {
    if (!fib_.word97() || fib_.obfuscated)
      return ReadResult::Failure(kPasswordIncorrectMessage);
    DocDecryptor decryptor;
    std::string_view header = Slice(table_, 0, std::min<std::size_t>(fib_.lkey, table_.size()));
    if (decryptor.Init(header, options_.password) != DocDecryptor::Status::kOk)
      return ReadResult::Failure(kPasswordIncorrectMessage);
    decryptor.DecryptStream(word_, 68);
    decryptor.DecryptStream(table_, header.size());
    decryptor.DecryptStream(data_, 0);
    Fib decrypted;
    if (!ParseFib(word_, decrypted, error))
      return ReadResult::Failure(kDamagedMessage);
    decrypted.encrypted = true;
    fib_ = decrypted;
  }
  return ReadWord97Or6();
}

void DocParser::ReadSummary() {
  auto stream = storage_->ReadStream("\005SummaryInformation", 1 << 20);
  if (!stream)
    return;
  PropertySetStrings set;
  if (!ReadPropertySetStrings(*stream, set))
    return;
  if (const std::string* v = set.Find(2))
    doc_.properties.title = *v;
  if (const std::string* v = set.Find(3))
    doc_.properties.subject = *v;
  if (const std::string* v = set.Find(4))
    doc_.properties.author = *v;
  if (const std::string* v = set.Find(5))
    doc_.properties.keywords = *v;
  if (const std::string* v = set.Find(6))
    doc_.properties.comments = *v;
}

void DocParser::ReadPageSetup() {
  FcLcb sed = fib_.at(kPlcfSed);
  std::string_view plc =
      Slice(fib_.word97() ? std::string_view(table_) : std::string_view(word_), sed.fc, sed.lcb);
  if (plc.size() < 4 + 4 + 12)
    return;
  std::size_t n = (plc.size() - 4) / 16;
  std::uint32_t fc_sepx = U32(plc, 4 * (n + 1) + 2);
  std::int32_t page = 12240, left = 1800, right = 1800;
  if (fc_sepx != 0xFFFFFFFF && Fits(word_, fc_sepx, 2) && fib_.word97()) {
    std::size_t cb = U16(word_, fc_sepx);
    std::string_view g = Slice(word_, std::uint64_t{fc_sepx} + 2, cb);
    ForEachSprm(g, [&](std::uint16_t sprm, std::string_view op) {
      if (sprm == 0xB01F)
        page = U16(op, 0);
      if (sprm == 0xB021)
        left = static_cast<std::int16_t>(U16(op, 0));
      if (sprm == 0xB022)
        right = static_cast<std::int16_t>(U16(op, 0));
    });
  }
  std::int32_t width = page - left - right;
  doc_.page.text_width_twips = width > 0 ? width : 0;
}

void DocParser::ReadProtection() {
  FcLcb dop = fib_.at(kDop);
  std::string_view d = Slice(table_, dop.fc, dop.lcb);
  if (d.size() < 8)
    return;
  std::uint16_t flags = U16(d, 6);
  bool lock_atn = flags & 0x0010;
  bool prot = flags & 0x0200;
  bool lock_rev = flags & 0x4000;
  if (lock_rev) {
    doc_.protection = {true, "trackedChanges"};
  } else if (lock_atn) {
    doc_.protection = {true, "comments"};
  } else if (prot) {
    doc_.protection = {true, "forms"};
  }
}

ReadResult DocParser::ReadWord97Or6() {
  const bool w97 = fib_.word97();
  doc_.format = SourceFormat::kDoc;
  code_page_ = w97 ? 1252 : Word6CodePage();
  doc_.open_encoding = code_page_;
  doc_.default_lang = fib_.lid;
  doc_.default_lang_fe = fib_.lid_fe;

  std::string_view props_stream = w97 ? std::string_view(table_) : std::string_view(word_);
  FcLcb clx = fib_.at(kClx);
  std::string_view clx_bytes = Slice(props_stream, clx.fc, clx.lcb);
  bool have_pieces = (fib_.complex || w97) && !clx_bytes.empty() &&
                     ParsePieceTable(clx_bytes, w97, pieces_) && !pieces_.pieces.empty();
  if (!have_pieces) {
    if (w97)
      return ReadResult::Failure(kDamagedMessage);
    // Word 6 and 95 without fast saves: the text lies in one stretch.
    Piece p;
    p.cp_begin = 0;
    p.fc = fib_.fc_min;
    p.compressed = true;
    std::int64_t available =
        fib_.fc_min < word_.size() ? static_cast<std::int64_t>(word_.size() - fib_.fc_min) : 0;
    std::int64_t wanted = fib_.fc_mac > fib_.fc_min ? fib_.fc_mac - fib_.fc_min : 0;
    p.cp_end = std::min(available, wanted);
    if (p.cp_end <= 0)
      return ReadResult::Failure(kDamagedMessage);
    pieces_.pieces.push_back(p);
  }

  if (w97) {
    styles_ = ParseStyles(table_, fib_.at(kStshf));
    ReadChpxPages(word_, Slice(table_, fib_.at(kPlcfBteChpx).fc, fib_.at(kPlcfBteChpx).lcb), 4,
                  chpx_);
    ReadPapxPages(word_, data_, Slice(table_, fib_.at(kPlcfBtePapx).fc, fib_.at(kPlcfBtePapx).lcb),
                  4, true, papx_);
    numberer_ = MakeListNumberer(table_, fib_.at(kPlfLst), fib_.at(kPlfLfo));
    if (!styles_.styles.empty()) {
      CharProps normal;
      for (const Style* s : styles_.Chain(0))
        ApplyCharSprms(s->chpx, styles_, normal);
      if (normal.lang)
        doc_.default_lang = normal.lang;
      if (normal.lang_fe)
        doc_.default_lang_fe = normal.lang_fe;
    }
  } else {
    ReadPapxPages(word_, {}, Slice(word_, fib_.at(kPlcfBtePapx).fc, fib_.at(kPlcfBtePapx).lcb), 2,
                  false, papx_);
  }

  std::int64_t ccp_text = std::max<std::int64_t>(0, fib_.ccp_text);
  std::int64_t ftn_begin = ccp_text;
  std::int64_t hdd_begin = ftn_begin + fib_.ccp_ftn;
  std::int64_t atn_begin = hdd_begin + fib_.ccp_hdd + (w97 ? 0 : fib_.ccp_mcr);
  std::int64_t edn_begin = atn_begin + fib_.ccp_atn;
  std::int64_t all = edn_begin + fib_.ccp_edn;
  if (all > static_cast<std::int64_t>(options_.limits.max_text_chars) ||
      static_cast<std::uint64_t>(all) > word_.size() * 2 + 2)
    return ReadResult::Failure(all > static_cast<std::int64_t>(options_.limits.max_text_chars)
                                   ? kTooLargeMessage
                                   : kDamagedMessage);

  load_budget_ = static_cast<std::uint64_t>(all) + 65536;
  if (w97) {
    ReadNotes(fib_.at(kPlcffndRef), fib_.at(kPlcffndTxt), ftn_begin, fib_.ccp_ftn, 0,
              doc_.footnotes, note_marks_);
    ReadNotes(fib_.at(kPlcfendRef), fib_.at(kPlcfendTxt), edn_begin, fib_.ccp_edn, 2, doc_.endnotes,
              note_marks_);
    ReadComments(atn_begin, fib_.ccp_atn);
  }
  BuildStory(0, ccp_text, kMainStory, doc_.body);
  if (too_large_)
    return ReadResult::Failure(kTooLargeMessage);
  if (damaged_)
    return ReadResult::Failure(kDamagedMessage);

  ReadSummary();
  if (w97) {
    ReadPageSetup();
    ReadProtection();
  }
  return ReadResult::Success();
}

namespace {

class DocReader : public Reader {
 public:
  std::string_view Name() const override { return "doc"; }
  int Sniff(std::string_view head, const std::string& /*path*/) const override {
    return HasCompoundFileSignature(head) ? 60 : 0;
  }
  ReadResult Read(std::string_view data, const OpenOptions& options, Document& doc) const override {
    DocParser parser(options, doc);
    ReadResult result = parser.Parse(data);
    if (!result.ok)
      doc = Document{};
    return result;
  }
};

}  // namespace
}  // namespace msdoc

std::unique_ptr<Reader> MakeDocReader() {
  return std::make_unique<msdoc::DocReader>();
}

}  // namespace quillon::docengine
