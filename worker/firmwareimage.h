#ifndef FIRMWAREIMAGE_H
#define FIRMWAREIMAGE_H

#include "runcause.h"

#include <QByteArray>
#include <QString>

// Whether a file can start the device once the programmer has written it
// where the command line has it write: at the start of flash. The programmer
// takes any file and says "Done." for it; a file that cannot start the
// device leaves it without firmware.
//
// A binary image must begin with the start-up table of a Cortex-M device:
// the initial stack pointer, in RAM, then the address of the reset handler,
// odd (Thumb code) and inside the image as it lies in flash, from 0x08000000
// or from its boot alias 0x00000000. The programmer reads a file as Intel
// HEX where it can, so a file that begins with ':' must be valid HEX, with
// that same table at the start of flash.

constexpr qint64 maximumFirmwareSize = 16 * 1024 * 1024;

enum class ImageProblem {
    None,
    Empty,
    Truncated,
    TooLarge,
    StackNotInRam,
    ResetNotThumb,
    ResetOutsideImage,
    BadHex,
    HexNotAtFlashStart,
};

struct ImageCheck
{
    ImageProblem problem = ImageProblem::None;
    // What exactly is wrong, for the log and the box's details.
    QString detail;

    bool isGood() const { return problem == ImageProblem::None; }
};

// The check of a file's bytes; size is the file's size, which for a file
// larger than any firmware is all that is known of it.
ImageCheck checkFirmwareImage(const QByteArray &bytes, qint64 size);

// Why the run refuses the file; null when the check found nothing wrong.
RunCause firmwareImageRefusal(const QString &path, const ImageCheck &check);

#endif // FIRMWAREIMAGE_H
