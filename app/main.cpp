#include <cstdio>

#include "util/translate.h"

int main(int /*argc*/, char** /*argv*/) {
  quillon::InitMessageCatalog("locale");
  std::printf("%s\n", QUILLON_VERSION_TEXT);
  return 0;
}
