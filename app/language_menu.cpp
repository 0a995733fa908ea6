#include "app/language_menu.h"

#include <dirent.h>

#include <clocale>
#include <cstdlib>
#include <cstring>

#include "util/translate.h"

namespace quillon {
namespace {

struct NamedCode {
  const char* code;
  const char* name;
};

// Two-letter codes with the first English name of their registry entry,
// then the codes with a country part.
constexpr NamedCode kLanguageNames[] = {
    {"aa", TrNoop("Afar")},
    {"ab", TrNoop("Abkhazian")},
    {"ae", TrNoop("Avestan")},
    {"af", TrNoop("Afrikaans")},
    {"ak", TrNoop("Akan")},
    {"am", TrNoop("Amharic")},
    {"an", TrNoop("Aragonese")},
    {"ar", TrNoop("Arabic")},
    {"as", TrNoop("Assamese")},
    {"av", TrNoop("Avaric")},
    {"ay", TrNoop("Aymara")},
    {"az", TrNoop("Azerbaijani")},
    {"ba", TrNoop("Bashkir")},
    {"be", TrNoop("Belarusian")},
    {"bg", TrNoop("Bulgarian")},
    {"bh", TrNoop("Bihari")},
    {"bi", TrNoop("Bislama")},
    {"bm", TrNoop("Bambara")},
    {"bn", TrNoop("Bengali")},
    {"bo", TrNoop("Tibetan")},
    {"br", TrNoop("Breton")},
    {"bs", TrNoop("Bosnian")},
    {"ca", TrNoop("Catalan")},
    {"ce", TrNoop("Chechen")},
    {"ch", TrNoop("Chamorro")},
    {"co", TrNoop("Corsican")},
    {"cr", TrNoop("Cree")},
    {"cs", TrNoop("Czech")},
    {"cv", TrNoop("Chuvash")},
    {"cy", TrNoop("Welsh")},
    {"da", TrNoop("Danish")},
    {"de", TrNoop("German")},
    {"dv", TrNoop("Divehi")},
    {"dz", TrNoop("Dzongkha")},
    {"ee", TrNoop("Ewe")},
    {"el", TrNoop("Greek, Modern (1453-)")},
    {"en", TrNoop("English")},
    {"eo", TrNoop("Esperanto")},
    {"es", TrNoop("Spanish")},
    {"et", TrNoop("Estonian")},
    {"eu", TrNoop("Basque")},
    {"fa", TrNoop("Persian")},
    {"ff", TrNoop("Fulah")},
    {"fi", TrNoop("Finnish")},
    {"fj", TrNoop("Fijian")},
    {"fo", TrNoop("Faroese")},
    {"fr", TrNoop("French")},
    {"fy", TrNoop("Frisian")},
    {"ga", TrNoop("Irish")},
    {"gd", TrNoop("Gaelic")},
    {"gl", TrNoop("Gallegan")},
    {"gn", TrNoop("Guarani")},
    {"gu", TrNoop("Gujarati")},
    {"gv", TrNoop("Manx")},
    {"ha", TrNoop("Hausa")},
    {"he", TrNoop("Hebrew")},
    {"hi", TrNoop("Hindi")},
    {"ho", TrNoop("Hiri Motu")},
    {"hr", TrNoop("Croatian")},
    {"ht", TrNoop("Haitian")},
    {"hu", TrNoop("Hungarian")},
    {"hy", TrNoop("Armenian")},
    {"hz", TrNoop("Herero")},
    {"ia", TrNoop("Interlingua (International Auxiliary Language Association)")},
    {"id", TrNoop("Indonesian")},
    {"ie", TrNoop("Interlingue")},
    {"ig", TrNoop("Igbo")},
    {"ii", TrNoop("Sichuan Yi")},
    {"ik", TrNoop("Inupiaq")},
    {"io", TrNoop("Ido")},
    {"is", TrNoop("Icelandic")},
    {"it", TrNoop("Italian")},
    {"iu", TrNoop("Inuktitut")},
    {"ja", TrNoop("Japanese")},
    {"jv", TrNoop("Javanese")},
    {"ka", TrNoop("Georgian")},
    {"kg", TrNoop("Kongo")},
    {"ki", TrNoop("Kikuyu")},
    {"kj", TrNoop("Kuanyama")},
    {"kk", TrNoop("Kazakh")},
    {"kl", TrNoop("Greenlandic")},
    {"km", TrNoop("Khmer")},
    {"kn", TrNoop("Kannada")},
    {"ko", TrNoop("Korean")},
    {"kr", TrNoop("Kanuri")},
    {"ks", TrNoop("Kashmiri")},
    {"ku", TrNoop("Kurdish")},
    {"kw", TrNoop("Cornish")},
    {"kv", TrNoop("Komi")},
    {"ky", TrNoop("Kirghiz")},
    {"la", TrNoop("Latin")},
    {"lb", TrNoop("Luxembourgish")},
    {"lg", TrNoop("Ganda")},
    {"li", TrNoop("Limburgan")},
    {"ln", TrNoop("Lingala")},
    {"lo", TrNoop("Lao")},
    {"lt", TrNoop("Lithuanian")},
    {"lu", TrNoop("Luba-Katanga")},
    {"lv", TrNoop("Latvian")},
    {"mg", TrNoop("Malagasy")},
    {"mh", TrNoop("Marshallese")},
    {"mi", TrNoop("Maori")},
    {"mk", TrNoop("Macedonian")},
    {"ml", TrNoop("Malayalam")},
    {"mn", TrNoop("Mongolian")},
    {"mo", TrNoop("Moldavian")},
    {"mr", TrNoop("Marathi")},
    {"ms", TrNoop("Malay")},
    {"mt", TrNoop("Maltese")},
    {"my", TrNoop("Burmese")},
    {"na", TrNoop("Nauru")},
    {"nb", TrNoop("Norwegian Bokmaal")},
    {"nd", TrNoop("Ndebele, North")},
    {"ne", TrNoop("Nepali")},
    {"ng", TrNoop("Ndonga")},
    {"nl", TrNoop("Dutch")},
    {"nn", TrNoop("Norwegian Nynorsk")},
    {"no", TrNoop("Norwegian")},
    {"nr", TrNoop("Ndebele, South")},
    {"nv", TrNoop("Navajo")},
    {"ny", TrNoop("Chichewa")},
    {"oc", TrNoop("Occitan (post 1500)")},
    {"oj", TrNoop("Ojibwa")},
    {"om", TrNoop("Oromo")},
    {"or", TrNoop("Oriya")},
    {"os", TrNoop("Ossetian")},
    {"pa", TrNoop("Panjabi")},
    {"pi", TrNoop("Pali")},
    {"pl", TrNoop("Polish")},
    {"ps", TrNoop("Pushto")},
    {"pt", TrNoop("Portuguese")},
    {"qu", TrNoop("Quechua")},
    {"rm", TrNoop("Raeto-Romance")},
    {"rn", TrNoop("Rundi")},
    {"ro", TrNoop("Romanian")},
    {"ru", TrNoop("Russian")},
    {"rw", TrNoop("Kinyarwanda")},
    {"sa", TrNoop("Sanskrit")},
    {"sc", TrNoop("Sardinian")},
    {"sd", TrNoop("Sindhi")},
    {"se", TrNoop("Northern Sami")},
    {"sg", TrNoop("Sango")},
    {"si", TrNoop("Sinhalese")},
    {"sk", TrNoop("Slovak")},
    {"sl", TrNoop("Slovenian")},
    {"sm", TrNoop("Samoan")},
    {"sn", TrNoop("Shona")},
    {"so", TrNoop("Somali")},
    {"sq", TrNoop("Albanian")},
    {"sr", TrNoop("Serbian")},
    {"ss", TrNoop("Swati")},
    {"st", TrNoop("Sotho, Southern")},
    {"su", TrNoop("Sundanese")},
    {"sv", TrNoop("Swedish")},
    {"sw", TrNoop("Swahili")},
    {"ta", TrNoop("Tamil")},
    {"te", TrNoop("Telugu")},
    {"tg", TrNoop("Tajik")},
    {"th", TrNoop("Thai")},
    {"ti", TrNoop("Tigrinya")},
    {"tk", TrNoop("Turkmen")},
    {"tl", TrNoop("Tagalog")},
    {"tn", TrNoop("Tswana")},
    {"to", TrNoop("Tonga (Tonga Islands)")},
    {"tr", TrNoop("Turkish")},
    {"ts", TrNoop("Tsonga")},
    {"tt", TrNoop("Tatar")},
    {"tw", TrNoop("Twi")},
    {"ty", TrNoop("Tahitian")},
    {"ug", TrNoop("Uighur")},
    {"uk", TrNoop("Ukrainian")},
    {"ur", TrNoop("Urdu")},
    {"uz", TrNoop("Uzbek")},
    {"ve", TrNoop("Venda")},
    {"vi", TrNoop("Vietnamese")},
    {"vo", TrNoop("Volapuk")},
    {"wa", TrNoop("Walloon")},
    {"wo", TrNoop("Wolof")},
    {"xh", TrNoop("Xhosa")},
    {"yi", TrNoop("Yiddish")},
    {"yo", TrNoop("Yoruba")},
    {"za", TrNoop("Zhuang")},
    {"zh", TrNoop("Chinese")},
    {"zu", TrNoop("Zulu")},
    {"de_AT", TrNoop("Austrian German")},
    {"de_CH", TrNoop("Swiss German")},
    {"en_AU", TrNoop("Australian English")},
    {"en_CA", TrNoop("Canadian English")},
    {"en_GB", TrNoop("British English")},
    {"en_US", TrNoop("American English")},
    {"fr_BE", TrNoop("Walloon")},
    {"nl_BE", TrNoop("Flemish")},
    {"pt_BR", TrNoop("Brazilian Portuguese")},
    {"zh_CN", TrNoop("Chinese (Simplified)")},
    {"zh_TW", TrNoop("Chinese (Tranditional)")},
};

constexpr const char* kEnglishCode = "en";
constexpr const char* kEnglishName = "English";

// language[_COUNTRY] of a locale name, without its code set and modifier.
std::string LanguagePart(std::string name) {
  size_t end = name.find_first_of(".@");
  if (end != std::string::npos) {
    name.resize(end);
  }
  return name;
}

}  // namespace

std::string EnglishLanguageName(const std::string& code) {
  for (const NamedCode& entry : kLanguageNames) {
    if (code == entry.code) {
      return entry.name;
    }
  }
  return {};
}

std::string LanguageName(const std::string& code) {
  std::string name = EnglishLanguageName(code);
  return name.empty() ? name : Tr(name);
}

std::string StartUpLanguageCode() {
  const char* lang = std::getenv("LANG");
  if (lang != nullptr && *lang != '\0') {
    return LanguagePart(lang);
  }
  const char* messages = std::setlocale(LC_MESSAGES, nullptr);
  std::string code = LanguagePart(messages != nullptr ? messages : "");
  if (code == "no" || code.rfind("no_", 0) == 0) {
    code = "nb" + code.substr(2);
  }
  return code;
}

LanguageMenu::LanguageMenu() {
  Build("", "");
}

void LanguageMenu::Build(const std::string& locale_folder, const std::string& current_code) {
  entries_.clear();
  entries_.push_back({kEnglishCode, Tr(kEnglishName)});
  checked_ = -1;
  DIR* dir = locale_folder.empty() ? nullptr : ::opendir(locale_folder.c_str());
  if (dir == nullptr) {
    return;
  }
  while (dirent* item = ::readdir(dir)) {
    std::string name = item->d_name;
    // Folders only: entries with an extension (files such as "de.po") and
    // the two dot entries are skipped.
    if (name == "." || name == ".." || name.find('.') != std::string::npos) {
      continue;
    }
    // English is built in: a catalog folder for it adds no second entry,
    // whatever the interface language calls it.
    std::string english = EnglishLanguageName(name);
    if (english.empty() || english == kEnglishName) {
      continue;
    }
    entries_.push_back({name, Tr(english)});
    if (name == current_code) {
      checked_ = static_cast<int>(entries_.size()) - 1;
    }
  }
  ::closedir(dir);
}

bool LanguageMenu::Check(const std::string& code) {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].code == code) {
      checked_ = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

std::string LanguageMenu::CurrentCode() const {
  return checked_ >= 0 ? entries_[static_cast<size_t>(checked_)].code : std::string();
}

void LanguageMenu::RefreshCaptions() {
  for (LanguageEntry& entry : entries_) {
    entry.caption = LanguageName(entry.code);
  }
}

}  // namespace quillon
