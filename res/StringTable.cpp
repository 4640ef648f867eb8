#include "res/StringTable.h"

#include "res/Resource.h"

#include <unordered_map>

namespace res {

namespace {

const std::unordered_map<unsigned, std::string>& Table() {
    // Command entries hold the status-bar prompt, a newline and the tooltip.
    static const std::unordered_map<unsigned, std::string> table = {
        {IDS_FRAME_OF, "Frame - %u/%u"},
        {IDS_SUPPORT, "Contact Oradel Software support team."},
        {IDS_LOCATE_FILE, "Can't read file. Locate file?"},
        {IDS_MOVIE_FILTER, "Video files (*.mpg; *.mpeg; *.avi; *.mov; *.qt)|*.mpg; *.mpeg; *.avi; "
                           "*.mov; *.qt||"},
        {IDS_PREVIEW, "Preview"},
        {IDS_PROJECT, "Project"},
        {IDS_NO_TWAIN_DEVICES, "No TWAIN devices"},
        {IDS_BAD_DIRECTDRAW, "Bad DirectDraw. Can't read/write video.\nContinue anyway?"},
        {IDS_BAD_DIRECTSHOW, "Bad DirectShow. Can't read/write video.\nContinue anyway?"},
        {IDS_APP_TITLE, "Vexel Helper"},
        {141, "Can't open movie.\nPossible cause - a problem with DirectDraw or DirectShow. "},
        {142, "Vexel can't create one of Project, Source, Target or Preview windows."},
        {143, "Low memory!\nCan't allocate enough memory."},
        {144, "Can't read file!\nPossible cause - disk reading error, bad picture format, etc.\n"},
        {145, "No video compressor selected for movie creation."},
        {146, "Can't connect DirectShow filters!\nPossible cause - unsupported frame size or "
              "color depth for given compression filter."},
        {147, "Can't print!\nPrinter is not ready or some other printing problem."},
        {148, "Can't create file!\nPossible cause - file is in use or no free disk space."},
        {149, "Error in Tutorial runtime.\nUser has pressed something wrong way."},
        {IDS_ERROR_NUMBER, "Error number %i"},
        {IDS_EMPTY_OUTPUT, "The framed picture is empty: at this zoom and aspect ratio it is less "
                           "than one pixel wide or high.\nZoom in or choose another aspect ratio "
                           "before saving."},
        {IDS_OUTPUT_TOO_LARGE, "The framed picture would be %i x %i pixels, more than an image "
                               "file of this program may hold.\nZoom out or choose another "
                               "aspect ratio before saving."},
        {IDS_SAVE_EDITS, "The placement of a framed picture was changed since it was last saved.\n"
                         "Save the changed pictures before quitting?"},
        {IDS_PATH_LINE_BREAK, "Can't export the project: the name of the saved %s picture holds a "
                              "line break, which a project file cannot keep.\nSave the picture "
                              "under another name, then export again."},
        {IDS_SCAN_FAILED, "Scanning from \"%s\" failed.\n%s"},
        {IDS_SCAN_OPEN_FAILED, "Can't open the scanner \"%s\".\n%s"},
        {IDS_SCAN_UNREADABLE, "The scanner sends pictures in a form this program can't read."},
        {IDS_SCAN_NO_FOLDER, "Can't make a folder for the scanned pictures."},
        {IDS_SCANNING_FROM, "Scanning from %s"},
        {IDS_SCAN_EMPTY, "The scanner delivered an empty picture."},
        {IDS_SCAN_NOT_WRITTEN, "Can't write the scanned picture to %s."},
        {IDS_COMMAND_FAILED, "The command could not be completed."},
        {IDS_COMMAND_NO_MEMORY, "The command could not be completed.\nNot enough memory."},
        {IDS_ENTER_INTEGER, "Please enter an integer."},
        {IDS_ENTER_INTEGER_RANGE, "Please enter an integer between %s and %s."},
        {IDS_IMAGE_READ_FILTER,
         "Image files (*.png;*.jpg;*.jpeg;*.tif;*.tiff;*.webp;*.bmp;*.heic;*.heif;*.avif;*.jxl)|"
         "*.png;*.jpg;*.jpeg;*.jpe;*.tif;*.tiff;*.webp;*.bmp;*.dib;*.heic;*.heif;*.hif;*.avif;"
         "*.jxl|"
         "PNG image (*.png)|*.png|JPEG image (*.jpg;*.jpeg)|*.jpg;*.jpeg;*.jpe|"
         "TIFF image (*.tif;*.tiff)|*.tif;*.tiff|WebP image (*.webp)|*.webp|"
         "Windows bitmap (*.bmp)|*.bmp;*.dib|HEIF image (*.heic;*.heif)|*.heic;*.heif;*.hif|"
         "AVIF image (*.avif)|*.avif|JPEG XL image (*.jxl)|*.jxl|"
         "Camera raw (*.dng;*.cr2;*.cr3;*.nef;*.arw;*.raf;*.orf;*.rw2)|"
         "*.dng;*.cr2;*.cr3;*.nef;*.nrw;*.arw;*.srf;*.sr2;*.raf;*.orf;*.rw2;*.pef;*.srw;*.3fr;"
         "*.erf;*.kdc;*.dcr;*.mef;*.mos;*.iiq;*.rwl|"
         "All files (*.*)|*"},
        {IDS_IMAGE_WRITE_FILTER, "PNG image (*.png)|*.png|JPEG image (*.jpg;*.jpeg)|*.jpg;*.jpeg|"
                                 "Windows bitmap (*.bmp)|*.bmp|TIFF image (*.tif;*.tiff)|*.tif;"
                                 "*.tiff|WebP image (*.webp)|*.webp"},
        {IDS_ALL_FILES_FILTER, "All files (*)|*|"},
        {IDS_ALL_MOVIES_FILTER, "All movie files|%s|"},
        {IDS_FILE_REASON, "%s: %s"},
        {IDS_REASON_CANT_OPEN, "the file cannot be opened (%s)"},
        {IDS_REASON_NOT_A_FILE, "it is not a file"},
        {IDS_REASON_EMPTY, "the file is empty"},
        {IDS_REASON_CANT_READ, "the file cannot be read (%s)"},
        {IDS_REASON_UNKNOWN_FORMAT,
         "not a PNG, JPEG, TIFF, WebP, BMP, HEIF, AVIF, JPEG XL or camera raw picture"},
        {IDS_REASON_DAMAGED, "the %s data is damaged or incomplete"},
        {IDS_REASON_CANCELLED, "reading was cancelled"},
        {IDS_REASON_TOO_MANY_PIXELS, "the picture is %s x %s pixels, above the limit of %s pixels"},
        {IDS_REASON_SIDE_TOO_LONG,
         "the picture is %s x %s pixels, above the limit of %s pixels a side"},
        {IDS_REASON_TOO_MANY_FOR_FILE, "the file declares %s x %s pixels, more than a file of %s "
                                       "bytes can hold (at most %s pixels)"},
        {IDS_REASON_RASTER_TOO_LARGE,
         "the picture is %s x %s pixels, above the limit of %s GiB of picture data"},
        {IDS_REASON_NO_PIXELS, "the file declares a picture of %s x %s pixels"},
        {IDS_REASON_NO_MEMORY, "not enough memory to read it"},
        {IDS_REASON_NO_MEMORY_SIZE, "not enough memory for a picture of %s x %s pixels"},
        {IDS_MILLION, "%s million"},
        {IDS_REASON_NOT_A_MOVIE, "not a movie this program can read (%s)"},
        {IDS_UNDO, "&Undo"},
        {IDS_REDO, "Re&do"},
        {IDS_UNDO_NAMED, "&Undo %s"},
        {IDS_REDO_NAMED, "Re&do %s"},
        {IDS_SLOT_SOURCE, "Source"},
        {IDS_SLOT_TARGET, "Target"},
        {IDS_SLOTS_BOTH, "Source and Target"},
        {IDS_STEP_MOVE, "Move %s"},
        {IDS_STEP_ZOOM, "Zoom %s"},
        {IDS_STEP_ROTATE, "Rotate %s"},
        {IDS_STEP_RESTORE, "Restore %s"},
        {IDS_STEP_RESTORE_ALL, "Restore all"},
        {IDS_STEP_ASPECT, "Aspect ratio"},
        {IDS_STEP_LOAD, "Load %s"},
        {IDS_STEP_SWAP, "Swap Source and Target"},
        {IDS_STEP_PLACEMENT, "Placement %s"},
        {IDS_STEP_ALIGN, "Align %s"},
        {IDS_MARK_PROMPT, "Click point %s on the %s, in its pane or in the Preview (Esc: stop)"},
        {IDS_SOURCE_CAPS, "SOURCE"},
        {IDS_TARGET_CAPS, "TARGET"},
        {IDS_POINTS_TOO_CLOSE, "Points 1 and 2 on the %s picture lie on the same spot, so they "
                               "give no direction to align by.\nDrag one of them away from the "
                               "other, then align again."},
        {IDS_POINTS_NO_PLACEMENT, "These points would place the target far beyond any useful "
                                  "zoom or position.\nCheck that points 1 and 2 mark the same "
                                  "features, in the same order, on both pictures."},
        {IDS_ALIGN_SCENE_PROGRESS, "Matching the target to the source..."},
        {IDS_ALIGN_TOO_FEW_MATCHES, "The pictures have too few features in common to align "
                                    "them.\nPlace points 1 and 2 on both pictures and use Align "
                                    "by points."},
        {IDS_ALIGN_EYES_PROGRESS, "Looking for the eyes in the %s picture..."},
        {IDS_ALIGN_NO_FACE, "No face was found in the %s picture.\nPlace points 1 and 2 on its "
                            "eyes by hand: the left eye as seen is point 1."},
        {IDS_ALIGN_NO_EYES, "A face was found in the %s picture, but not both of its eyes.\n"
                            "Place points 1 and 2 on its eyes by hand: the left eye as seen is "
                            "point 1."},
        {IDS_PLACEMENT_READOUT, "%s: zoom %s %, angle %s\u00b0, offset %s, %s"},
        {IDS_PLACEMENT_TITLE, "Placement"},
        {IDS_PLACEMENT_ZOOM, "Zoom (%):"},
        {IDS_PLACEMENT_ANGLE, "Angle (degrees):"},
        {IDS_PLACEMENT_OFFSET_X, "Offset x (crop units):"},
        {IDS_PLACEMENT_OFFSET_Y, "Offset y (crop units):"},
        {IDS_KEY_FRAME_SHOWN, "Key frame %s"},
        {IDS_FRAME_NOT_DECODED, "Frame %s cannot be decoded"},
        {IDS_CMD_HELP_HINT, "Try 'vexel-helper --help'."},
        {IDS_CMD_UNKNOWN_OPTION, "unknown option %s"},
        {IDS_CMD_NEEDS_VALUE, "%s needs a value"},
        {IDS_CMD_BAD_VALUE, "%s: \"%s\" is not %s"},
        {IDS_CMD_EXPECT_NUMBER, "a number from %s to %s"},
        {IDS_CMD_EXPECT_WHOLE, "a whole number from %s to %s"},
        {IDS_CMD_EXPECT_PAIR, "X,Y, two whole numbers from %s to %s"},
        {IDS_CMD_EXPECT_RATIO, "W:H, two whole numbers from 1 to 10000"},
        {IDS_CMD_EXPECT_ALIGN, "points:SX1,SY1,SX2,SY2:TX1,TY1,TX2,TY2 (the two points of "
                               "each picture a pixel or more apart), scene or eyes"},
        {IDS_CMD_TWICE, "%s is given twice"},
        {IDS_CMD_NEEDS_PICTURES, "--batch needs --source and --target, or --project instead "
                                 "of both"},
        {IDS_CMD_STRAY_ARGUMENT, "unexpected argument %s"},
        {IDS_BATCH_NOT_A_MOVIE, "%s is not a movie: %s names a movie frame."},
        {IDS_BATCH_NO_SUCH_FRAME, "The movie has no frame %s: its frames are 0 to %s."},
        {IDS_BATCH_POINT_OUTSIDE, "The point %s, %s lies outside the %s picture of %s x %s "
                                  "pixels."},
        {IDS_BATCH_EXPORT_UNSAVED, "The project names the framed pictures as they were saved: "
                                   "save both with --save-source and --save-target first."},
        {IDS_BATCH_NO_ALIGNMENT, "No placement of the target puts its points on the source's: "
                                 "it would have to be zoomed beyond all measure."},
        {IDS_CMD_GOES_WITH, "%s goes with %s"},
        {IDS_REASON_NO_FOLDER, "the folder %s is not there or cannot be written to"},
        {IDS_PROJECT_FILTER, "Vexel project (*.vpj)|*.vpj"},
        {IDS_PROJECT_UNREADABLE, "Can't open the project."},
        {IDS_NOT_A_PROJECT, "This file is not a Vexel project: it names no source or no target "
                            "image."},
        {IDS_ORIGINALS_GONE, "The pictures this project was framed from are gone or have "
                             "changed.\nThe saved framed pictures are opened in their place."},
        {IDS_RECENT_MISSING, "%s is no longer there.\nIt has been removed from the list."},
        {IDS_TOO_MANY_FILES, "Only a source and a target picture, or one project, can be opened "
                             "at once.\nThe other files were not opened."},
        {IDS_RECENT_INTO_SOURCE, "Into &source"},
        {IDS_RECENT_INTO_TARGET, "Into &target"},
        {IDS_NO_RECENT_PICTURES, "No recent pictures"},
        {IDS_NO_RECENT_PROJECTS, "No recent projects"},
        {IDS_CAMERA_ITEM, "Camera…"},
        {IDS_CAMERA_TITLE, "Camera"},
        {IDS_CAMERA_CAPTURE, "&Capture"},
        {IDS_CAMERA_CHOOSE, "C&amera:"},
        {IDS_CAMERA_STARTING, "Starting the camera…"},
        {IDS_CAMERA_FAILED, "The camera \"%s\" can't be used.\n%s"},
        {IDS_CAMERA_LOST, "The camera \"%s\" was disconnected."},
        {IDS_CAMERA_NO_PICTURE, "The camera \"%s\" delivered no picture.\n%s"},
        {IDS_CAMERA_NONE, "No camera is connected."},
        {IDS_SOURCE_WORD, "source"},
        {IDS_TARGET_WORD, "target"},
        {ID_EDIT_ZOOM, "Zoom in and zoom out image relative to cropping rectangle\nZoom in/out"},
        {ID_EDIT_MOVE, "Move image relative to cropping rectangle\nMove"},
        {ID_EDIT_ROTATE, "Rotate image relative to cropping rectangle\nRotate"},
        {ID_SOURCE_IMAGE, "Load source from image file\nLoad source image"},
        {ID_TARGET_IMAGE, "Load target from image file\nLoad target image"},
        {ID_SOURCE_VIDEO, "Load source from movie file\nLoad source from movie"},
        {ID_TARGET_VIDEO, "Load target from movie file\nLoad target from movie"},
        {ID_FILE_SAVE_SOURCE, "Save source to image file\nSave source as"},
        {ID_FILE_SAVE_TARGET, "Save target to image file\nSave target as"},
        {ID_FILE_EXPORT, "Create and save Vexel project file\nExport project"},
        {ID_FILE_OPEN_PROJECT, "Open a Vexel project to go on framing its pictures\nOpen project"},
        {ID_RECENT_PROJECT_FIRST, "Open this project\nOpen recent project"},
        {ID_RECENT_SOURCE_FIRST, "Load this picture into the source\nLoad recent source"},
        {ID_RECENT_TARGET_FIRST, "Load this picture into the target\nLoad recent target"},
        {ID_EDIT_ASPECT, "Set width to height ratio of cropping rectangle\nAspect ratio"},
        {ID_EDIT_QUICK, "Quick image editing mode\nQuick edit mode"},
        {ID_VIEW_DIFFERENCE,
         "Show the difference of source and target instead of their blend\nDifference"},
        {ID_VIEW_GUIDES,
         "Show a centre cross and a horizontal line through the crop centre\nGuides"},
        {ID_ALIGN_POINTS, "Place the target on the source by two points marked on each picture"
                          "\nAlign by points"},
        {ID_ALIGN_SCENE, "Place the target on the source by matching what both pictures show"
                         "\nAlign target to source"},
        {ID_ALIGN_EYES, "Place the target on the source by the eyes of a face on each picture"
                        "\nAlign eyes"},
        {ID_ALIGN_CLEAR_POINTS,
         "Remove the points marked for Align by points\nClear alignment points"},
        {ID_EDIT_RESTORE_ALL,
         "Remove all image transformations both for source and target\nRestore all"},
        {ID_VIEW_PREVIEW, "Show or hide Preview window\nShow/hide Preview window"},
        {ID_VIEW_PROJECT, "Show or hide Project window\nShow/hide Project window"},
        {ID_EDIT_SOURCE, "Edit source\nEdit source"},
        {ID_EDIT_TARGET, "Edit target\nEdit target"},
        {ID_EDIT_UNDO, "Undo the last change of a placement or a picture\nUndo"},
        {ID_EDIT_REDO, "Redo the change undone last\nRedo"},
        {ID_EDIT_PLACEMENT, "Show and type the zoom, angle and offset of each picture\nPlacement"},
        {ID_EDIT_SWAP, "Exchange the source and target pictures with their framing\nSwap"},
        {ID_EDIT_RESTORE_SOURCE, "Remove all image transformations of the source\nRestore source"},
        {ID_EDIT_RESTORE_TARGET, "Remove all image transformations of the target\nRestore target"},
        {ID_SCAN_ADD_DEVICE, "Add or remove TWAIN device\nAdd or remove TWAIN device"},
        {ID_SCAN_SOURCE_FIRST, "Load source from scanner or digital camera\nScan source"},
        {ID_SCAN_TARGET_FIRST, "Load target from scanner or digital camera\nScan target"},
        {ID_CAMERA_SOURCE, "Load source from a camera's live picture\nCamera source"},
        {ID_CAMERA_TARGET, "Load target from a camera's live picture\nCamera target"},
        {ID_FILE_NEW, "Create a new document\nNew"},
        {ID_FILE_CLOSE, "Close the active document\nClose"},
        {ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
        {ID_APP_EXIT, "Quit the application\nExit"},
        {ID_HELP_FINDER, "List Help topics\nHelp Topics"},
        {ID_VIEW_TOOLBAR, "Show or hide the toolbar\nToggle ToolBar"},
        {ID_VIEW_STATUS_BAR, "Show or hide the status bar\nToggle StatusBar"},
        {ID_INDICATOR_CAPS, "CAP"},
        {ID_INDICATOR_NUM, "NUM"},
        {ID_INDICATOR_SCRL, "SCRL"},
        {IDS_IDLE_MESSAGE, "Ready"},
    };
    return table;
}

} // namespace

const std::string& LoadString(unsigned id) {
    static const std::string empty;
    const auto& table = Table();
    auto it = table.find(id);
    return it == table.end() ? empty : it->second;
}

std::string FormatString(unsigned id, std::initializer_list<std::string_view> args) {
    const std::string& format = LoadString(id);
    std::string text;
    text.reserve(format.size());
    auto arg = args.begin();
    size_t from = 0;
    // Only the table's text is searched, so an argument that holds "%s" is kept as it is.
    for (size_t at = format.find("%s"); at != std::string::npos && arg != args.end();
         at = format.find("%s", from)) {
        text.append(format, from, at - from).append(*arg++);
        from = at + 2;
    }
    return text.append(format, from);
}

} // namespace res
