#include "engine/conversion_options.h"

namespace quillon::engine {

const std::vector<std::string>& TextDelimitedItems() {
  static const std::vector<std::string> kItems = {"0=No Assign Delimited Symbol",
                                                  "1=Tab Delimited",
                                                  "2=Comma Delimited",
                                                  "3=Semicolon Delimited",
                                                  "4=Pipe Delimited",
                                                  "5=Blank Delimited",
                                                  "6=Fix Width"};
  return kItems;
}

}  // namespace quillon::engine
