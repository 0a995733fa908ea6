#include "engine/conversion_options.h"

#include "util/translate.h"

namespace quillon::engine {

const std::vector<std::string>& TextDelimitedItems() {
  static const std::vector<std::string> kItems = {TrNoop("0=No Assign Delimited Symbol"),
                                                  TrNoop("1=Tab Delimited"),
                                                  TrNoop("2=Comma Delimited"),
                                                  TrNoop("3=Semicolon Delimited"),
                                                  TrNoop("4=Pipe Delimited"),
                                                  TrNoop("5=Blank Delimited"),
                                                  TrNoop("6=Fix Width")};
  return kItems;
}

}  // namespace quillon::engine
