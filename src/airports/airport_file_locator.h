#pragma once
// Where the stand file of an airport comes from: the user's folders my_thirdparty and my_ORBX
// (an airport file, or a link file whose first line names the file to use instead), else the
// stock archive on the download server. A path that begins with "airports" is read locally;
// any other path lies on the server below gf_p3dDownloadUrl().

#include "core/download.h"

#include <filesystem>
#include <string>
#include <string_view>

std::filesystem::path gf_airportXmlPath(std::string_view code); // CODE.xml
std::filesystem::path gf_airportTxtPath(std::string_view code); // CODE.txt
std::string gf_stockServerPath(std::string_view code);           // archive/stock/CODE.xml

// The first line of a link file, cut after its last 'l' (so "….xml" loses trailing blanks or a
// stray carriage return). False, with `out` unchanged, when the file cannot be read or is empty.
bool lf_pathFromTxtFile(const std::filesystem::path& linkFile, std::string& out);

// Whether the stock archive holds a file for the code; the probe downloads it and removes it.
bool gf_stockAirportExists(std::string_view code);

// The path of the airport file to use, or the empty text when there is none.
std::string gf_locateApf(std::string_view code);

// Whether any airport file for the code can be had; link files are not read.
bool gf_airportFileAvailable(std::string_view code);

// Downloads gf_p3dDownloadUrl() + serverPath into localFile (text mode); false when it failed.
// A path that failed is tried again only after a pause of a few minutes (false meanwhile), and
// its failure is logged once until it is had again; gf_forgetFailedDownloads (a new start)
// forgets every failure.
bool gf_downloadP3dFile(const std::string& serverPath, const std::filesystem::path& localFile);
// The same on a handle of the caller's, which keeps its connection to the server for the next.
bool gf_downloadP3dFile(CURL* handle, const std::string& serverPath, const std::filesystem::path& localFile);
// gf_downloadP3dFile in two halves, for a download made elsewhere: whether the path may be asked
// for now, and the end of its download (what was downloaded, the download's failure text), which
// the pause and the log take note of; the second answers `downloaded`.
bool gf_p3dDownloadDue(const std::string& serverPath);
bool gf_p3dDownloadEnded(const std::string& serverPath, bool downloaded, const std::string& failure);
void gf_forgetFailedDownloads();

// Downloads gf_p3dDownloadUrl() + serverPath into localFile. Empty on success, else the logged
// text "failed to download: \"URL\"".
std::string lf_downloadApf(const std::string& serverPath, const std::filesystem::path& localFile);
