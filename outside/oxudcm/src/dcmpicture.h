#pragma once
// Pictures for the image pixel module: a baseline JPEG stream kept as it is, or a Windows
// bitmap unpacked to 8-bit grey or RGB pixels. Every size and offset read is checked.
#include <string>

#include "oxudcm/dcmtkdicomfile.h"

namespace oxudcm {
bool ReadJpegPicture(const std::string& strPath, CDcmTkDicomFile::CPicture& picture,
                     std::string& strError);
// nImageKind 0 = grey (luminance), 1 = RGB.
bool ReadBmpPicture(const std::string& strPath, int nImageKind,
                    CDcmTkDicomFile::CPicture& picture, std::string& strError);
}  // namespace oxudcm
