#pragma once

#include <QString>
#include <opencv2/core.hpp>

// The longest side a photo keeps for reading: enough for the small print of a card that fills
// a third of a phone's photo, and a bound on the memory the photo takes.
constexpr int CardPhotoLongestSide = 2560;
// The most memory the decoder may take for one photo before it is scaled down (in MB).
constexpr int CardPhotoDecodeLimitMb = 256;

// Decodes a card photo (JPEG, PNG or any format Qt reads) as 8-bit BGR, turned as its EXIF
// orientation says and scaled so that its longer side is at most CardPhotoLongestSide. A JPEG
// is scaled while it is decoded; any other photo whose pixels would take more than
// CardPhotoDecodeLimitMb is refused before it is decoded. Throws ScanError for a file that is
// missing, is no image, or is too large.
cv::Mat loadCardPhoto(const QString& path);
