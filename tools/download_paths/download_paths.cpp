// Prints the paths, relative to the download folder, under which the program asks for its data
// base, its registration-code list and a stock airport file ("<ICAO>" standing for the code):
//   dbase=dbase.zip
//   regcodes=AIG-regcodes.zip
//   stock=P3D/archive/stock/<ICAO>.xml
// Each comes from the functions the program downloads with; the URL of a stock airport file is
// the download base, then the simulator's folder, then the file's path.

#include "airports/airport_file_locator.h"
#include "core/download.h"
#include "params/names.h"

#include <iostream>
#include <string>

int main()
{
    const std::string base = gf_downloadBase();
    const std::string p3dUrl = gf_p3dDownloadUrl();
    if (p3dUrl.compare(0, base.size(), base) != 0) {
        std::cerr << "the simulator's download folder " << p3dUrl << " lies outside the download base " << base
                  << "\n";
        return 1;
    }
    std::cout << "dbase=" << g_dbaseArchive.generic_string() << "\n"
              << "regcodes=" << g_aigRegcodesArchive.generic_string() << "\n"
              << "stock=" << p3dUrl.substr(base.size()) << gf_stockServerPath("<ICAO>") << "\n";
    return 0;
}
