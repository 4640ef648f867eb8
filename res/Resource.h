// Resource identifiers shared by menus, toolbars, accelerators, the string table and the core.
#pragma once

namespace res {

// Commands.
constexpr unsigned ID_EDIT_ZOOM = 32771;
constexpr unsigned ID_EDIT_MOVE = 32772;
constexpr unsigned ID_EDIT_ROTATE = 32773;
constexpr unsigned ID_SOURCE_IMAGE = 32775;
constexpr unsigned ID_VIEW_PREVIEW = 32777;
constexpr unsigned ID_TARGET_IMAGE = 32779;
constexpr unsigned ID_EDIT_SOURCE = 32784;
constexpr unsigned ID_EDIT_TARGET = 32785;
constexpr unsigned ID_BLEND_SLIDER = 32790;
constexpr unsigned ID_FILE_SAVE_SOURCE = 32791;
constexpr unsigned ID_FILE_SAVE_TARGET = 32792;
constexpr unsigned ID_EDIT_QUICK = 32795;
constexpr unsigned ID_EDIT_ASPECT = 32796;
constexpr unsigned ID_EDIT_RESTORE_ALL = 32805;
constexpr unsigned ID_FILE_EXPORT = 32806;
constexpr unsigned ID_VIEW_PROJECT = 32807;
constexpr unsigned ID_SOURCE_VIDEO = 32808;
constexpr unsigned ID_TARGET_VIDEO = 32809;
constexpr unsigned ID_BLEND = 32810;
constexpr unsigned ID_ADD_TWAIN_FILE = 32811;
constexpr unsigned ID_SCAN_ADD_DEVICE = 32855;
constexpr unsigned ID_VIEW_DIFFERENCE = 32970;
constexpr unsigned ID_VIEW_GUIDES = 32971;
// Aligning the target on the source: 32980 ... 32989.
constexpr unsigned ID_ALIGN_POINTS = 32980;
constexpr unsigned ID_ALIGN_SCENE = 32981;
constexpr unsigned ID_ALIGN_EYES = 32982;
constexpr unsigned ID_ALIGN_CLEAR_POINTS = 32983;
// A picture from a camera: 32990 ... 32999.
constexpr unsigned ID_CAMERA_SOURCE = 32990;
constexpr unsigned ID_CAMERA_TARGET = 32991;
constexpr unsigned ID_SCAN_SOURCE_FIRST = 32858; // ... 32867
constexpr unsigned ID_SCAN_SOURCE_LAST = 32867;
constexpr unsigned ID_SCAN_TARGET_FIRST = 32868; // ... 32877
constexpr unsigned ID_SCAN_TARGET_LAST = 32877;
// Undo, exact placement, swap and restoring one slot: 32900 ... 32919.
constexpr unsigned ID_EDIT_UNDO = 32900;
constexpr unsigned ID_EDIT_REDO = 32901;
constexpr unsigned ID_EDIT_PLACEMENT = 32902;
constexpr unsigned ID_EDIT_SWAP = 32903;
constexpr unsigned ID_EDIT_RESTORE_SOURCE = 32904;
constexpr unsigned ID_EDIT_RESTORE_TARGET = 32905;
// Projects, recent files, and files handed over by a drop or the command line.
constexpr unsigned ID_FILE_OPEN_PROJECT = 32920;
constexpr unsigned RECENT_FILE_COUNT = 8;           // entries of each recent list
constexpr unsigned ID_RECENT_PROJECT_FIRST = 32921; // ... 32928
constexpr unsigned ID_RECENT_PROJECT_LAST = 32928;
constexpr unsigned ID_RECENT_SOURCE_FIRST = 32929; // ... 32936
constexpr unsigned ID_RECENT_SOURCE_LAST = 32936;
constexpr unsigned ID_RECENT_TARGET_FIRST = 32937; // ... 32944
constexpr unsigned ID_RECENT_TARGET_LAST = 32944;
constexpr unsigned ID_OPEN_FILES = 32945; // never shown: opens CKeltDoc::m_filesToOpen
constexpr unsigned ID_RECENT_PICTURES_NONE = 32946;
constexpr unsigned ID_RECENT_PROJECTS_NONE = 32947;
constexpr unsigned ID_FILE_NEW = 57600;
constexpr unsigned ID_FILE_CLOSE = 57602;
constexpr unsigned ID_APP_ABOUT = 57664;
constexpr unsigned ID_APP_EXIT = 57665;
constexpr unsigned ID_HELP_FINDER = 57670;
constexpr unsigned ID_VIEW_TOOLBAR = 59392;
constexpr unsigned ID_VIEW_STATUS_BAR = 59393;

// Resources.
constexpr unsigned IDD_ABOUTBOX = 100;
constexpr unsigned IDR_MAINFRAME = 128; // main menu, accelerators, Preview toolbar, app icon
constexpr unsigned IDR_CHILD = 129;
constexpr unsigned IDI_PREVIEW = 131;
constexpr unsigned IDR_PROJECT_TOOLBAR = 140;
constexpr unsigned IDI_PROJECT = 144;
constexpr unsigned IDD_PROGRESS = 159;
constexpr unsigned IDC_PROGRESS_BAR = 1079;
constexpr unsigned IDC_PROGRESS_TEXT = 1081;
constexpr unsigned IDCANCEL = 2;

// Add/remove device dialog.
constexpr unsigned IDD_TWAIN_DEVICE = 164;
constexpr unsigned IDC_TWAIN_REMOVE = 1125;
constexpr unsigned IDC_TWAIN_AVAILABLE = 1126;
constexpr unsigned IDC_TWAIN_SELECTED = 1127;
constexpr unsigned IDC_TWAIN_ADD = 1128;

// Status bar panes and the idle prompt.
constexpr unsigned ID_INDICATOR_CAPS = 59137;
constexpr unsigned ID_INDICATOR_NUM = 59138;
constexpr unsigned ID_INDICATOR_SCRL = 59139;
constexpr unsigned IDS_IDLE_MESSAGE = 57345;

// Edit modes (the values of CKeltDoc::m_nEditMode).
constexpr int EDIT_MODE_ZOOM = 132;
constexpr int EDIT_MODE_MOVE = 133;
constexpr int EDIT_MODE_ROTATE = 134;

// Cursors of the edit modes.
constexpr unsigned IDC_ZOOM = 136;
constexpr unsigned IDC_MOVE = 137;
constexpr unsigned IDC_ROTATE = 138;

// Aspect ratio dialog.
constexpr unsigned IDD_ASPECT = 139;
constexpr unsigned IDC_ASPECT_WIDTH = 1001;
constexpr unsigned IDC_ASPECT_HEIGHT = 1002;
constexpr unsigned IDC_ASPECT_WIDTH_SPIN = 1009;
constexpr unsigned IDC_ASPECT_HEIGHT_SPIN = 1010;
constexpr unsigned IDC_ASPECT_1_1 = 1011;
constexpr unsigned IDC_ASPECT_3_2 = 1012;
constexpr unsigned IDC_ASPECT_4_3 = 1013;
constexpr unsigned IDC_ASPECT_16_9 = 1014;
constexpr unsigned IDC_ASPECT_25_16 = 1015;

// Choose Frame dialog.
constexpr unsigned IDD_CHOOSE_FRAME = 143;
constexpr unsigned IDC_FRAME_PREVIEW = 1033;
constexpr unsigned IDC_FRAME_FIRST = 1035;
constexpr unsigned IDC_FRAME_PREV = 1037;
constexpr unsigned IDC_FRAME_NEXT = 1038;
constexpr unsigned IDC_FRAME_LAST = 1039;
constexpr unsigned IDC_FRAME_SLIDER = 1040;
constexpr unsigned IDC_FRAME_LABEL = 1041;

// Strings.
constexpr unsigned IDS_FRAME_OF = 10;
constexpr unsigned IDS_SUPPORT = 11;
constexpr unsigned IDS_LOCATE_FILE = 12;
constexpr unsigned IDS_MOVIE_FILTER = 13;
constexpr unsigned IDS_PREVIEW = 25;
constexpr unsigned IDS_PROJECT = 26;
constexpr unsigned IDS_NO_TWAIN_DEVICES = 31;
constexpr unsigned IDS_BAD_DIRECTDRAW = 40;
constexpr unsigned IDS_BAD_DIRECTSHOW = 41;
constexpr unsigned IDS_APP_TITLE = 128;
constexpr unsigned IDS_ERROR_BASE = 140; // 141 ... 149: the messages of error codes 1 ... 9
constexpr unsigned IDS_ERROR_NUMBER = 150;
constexpr unsigned IDS_EMPTY_OUTPUT = 160;
constexpr unsigned IDS_PATH_LINE_BREAK = 161;
constexpr unsigned IDS_OUTPUT_TOO_LARGE = 162;
constexpr unsigned IDS_SCAN_FAILED = 170;
constexpr unsigned IDS_SCAN_OPEN_FAILED = 171;
constexpr unsigned IDS_SCAN_UNREADABLE = 172;
constexpr unsigned IDS_SCAN_NO_FOLDER = 173;
constexpr unsigned IDS_SCANNING_FROM = 174;
constexpr unsigned IDS_SCAN_EMPTY = 175;
constexpr unsigned IDS_SCAN_NOT_WRITTEN = 176;
constexpr unsigned IDS_COMMAND_FAILED = 177;
constexpr unsigned IDS_COMMAND_NO_MEMORY = 178;
constexpr unsigned IDS_ENTER_INTEGER = 179;
constexpr unsigned IDS_ENTER_INTEGER_RANGE = 180;
constexpr unsigned IDS_IMAGE_READ_FILTER = 181;
constexpr unsigned IDS_IMAGE_WRITE_FILTER = 182;
constexpr unsigned IDS_ALL_FILES_FILTER = 183;
constexpr unsigned IDS_PROJECT_FILTER = 184;
constexpr unsigned IDS_SOURCE_WORD = 185;
constexpr unsigned IDS_TARGET_WORD = 186;
constexpr unsigned IDS_SAVE_EDITS = 187;
constexpr unsigned IDS_ALL_MOVIES_FILTER = 188;
// The details beneath a coded message: which file, and why it could not be used.
constexpr unsigned IDS_FILE_REASON = 190;
constexpr unsigned IDS_REASON_CANT_OPEN = 191;
constexpr unsigned IDS_REASON_NOT_A_FILE = 192;
constexpr unsigned IDS_REASON_EMPTY = 193;
constexpr unsigned IDS_REASON_CANT_READ = 194;
constexpr unsigned IDS_REASON_UNKNOWN_FORMAT = 195;
constexpr unsigned IDS_REASON_DAMAGED = 196;
constexpr unsigned IDS_REASON_CANCELLED = 197;
constexpr unsigned IDS_REASON_TOO_MANY_PIXELS = 198;
constexpr unsigned IDS_REASON_SIDE_TOO_LONG = 199;
constexpr unsigned IDS_REASON_TOO_MANY_FOR_FILE = 200;
constexpr unsigned IDS_REASON_RASTER_TOO_LARGE = 201;
constexpr unsigned IDS_REASON_NO_PIXELS = 202;
constexpr unsigned IDS_REASON_NO_MEMORY = 203;
constexpr unsigned IDS_REASON_NO_MEMORY_SIZE = 204;
constexpr unsigned IDS_MILLION = 205;
constexpr unsigned IDS_REASON_NOT_A_MOVIE = 206;
// The Undo and Redo items and the names of the steps: 207 ... 229.
constexpr unsigned IDS_UNDO = 207;
constexpr unsigned IDS_REDO = 208;
constexpr unsigned IDS_UNDO_NAMED = 209;
constexpr unsigned IDS_REDO_NAMED = 210;
constexpr unsigned IDS_SLOT_SOURCE = 211;
constexpr unsigned IDS_SLOT_TARGET = 212;
constexpr unsigned IDS_SLOTS_BOTH = 213;
constexpr unsigned IDS_STEP_MOVE = 214;
constexpr unsigned IDS_STEP_ZOOM = 215;
constexpr unsigned IDS_STEP_ROTATE = 216;
constexpr unsigned IDS_STEP_RESTORE = 217;
constexpr unsigned IDS_STEP_RESTORE_ALL = 218;
constexpr unsigned IDS_STEP_ASPECT = 219;
constexpr unsigned IDS_STEP_LOAD = 220;
constexpr unsigned IDS_STEP_SWAP = 221;
constexpr unsigned IDS_STEP_PLACEMENT = 222;
// The placement in numbers: the status bar during a drag and the Placement dialog.
constexpr unsigned IDS_PLACEMENT_READOUT = 223;
constexpr unsigned IDS_PLACEMENT_TITLE = 224;
constexpr unsigned IDS_PLACEMENT_ZOOM = 225;
constexpr unsigned IDS_PLACEMENT_ANGLE = 226;
constexpr unsigned IDS_PLACEMENT_OFFSET_X = 227;
constexpr unsigned IDS_PLACEMENT_OFFSET_Y = 228;
// Opening projects and files.
constexpr unsigned IDS_PROJECT_UNREADABLE = 230;
constexpr unsigned IDS_NOT_A_PROJECT = 231;
constexpr unsigned IDS_ORIGINALS_GONE = 232;
constexpr unsigned IDS_RECENT_MISSING = 233;
constexpr unsigned IDS_TOO_MANY_FILES = 234;
constexpr unsigned IDS_RECENT_INTO_SOURCE = 235;
constexpr unsigned IDS_RECENT_INTO_TARGET = 236;
constexpr unsigned IDS_NO_RECENT_PICTURES = 237;
constexpr unsigned IDS_NO_RECENT_PROJECTS = 238;
// Aligning the target on the source: 270 ... 289.
constexpr unsigned IDS_STEP_ALIGN = 270;
constexpr unsigned IDS_MARK_PROMPT = 271;
constexpr unsigned IDS_SOURCE_CAPS = 272;
constexpr unsigned IDS_TARGET_CAPS = 273;
constexpr unsigned IDS_POINTS_TOO_CLOSE = 274;
constexpr unsigned IDS_POINTS_NO_PLACEMENT = 275;
constexpr unsigned IDS_ALIGN_SCENE_PROGRESS = 276;
constexpr unsigned IDS_ALIGN_TOO_FEW_MATCHES = 277;
constexpr unsigned IDS_ALIGN_EYES_PROGRESS = 278;
constexpr unsigned IDS_ALIGN_NO_FACE = 279;
constexpr unsigned IDS_ALIGN_NO_EYES = 280;
// The Choose Frame dialog's marks on the shown frame.
constexpr unsigned IDS_KEY_FRAME_SHOWN = 260;
constexpr unsigned IDS_FRAME_NOT_DECODED = 261;
// A picture from a camera: 360 ... 369.
constexpr unsigned IDS_CAMERA_ITEM = 360;
constexpr unsigned IDS_CAMERA_TITLE = 361;
constexpr unsigned IDS_CAMERA_CAPTURE = 362;
constexpr unsigned IDS_CAMERA_CHOOSE = 363;
constexpr unsigned IDS_CAMERA_STARTING = 364;
constexpr unsigned IDS_CAMERA_FAILED = 365;
constexpr unsigned IDS_CAMERA_LOST = 366;
constexpr unsigned IDS_CAMERA_NO_PICTURE = 367;
constexpr unsigned IDS_CAMERA_NONE = 368;
// The command line and the work it does without a window.
constexpr unsigned IDS_CMD_HELP_HINT = 310;
constexpr unsigned IDS_CMD_UNKNOWN_OPTION = 311;
constexpr unsigned IDS_CMD_NEEDS_VALUE = 312;
constexpr unsigned IDS_CMD_BAD_VALUE = 313;
constexpr unsigned IDS_CMD_EXPECT_NUMBER = 314;
constexpr unsigned IDS_CMD_EXPECT_WHOLE = 315;
constexpr unsigned IDS_CMD_EXPECT_PAIR = 316;
constexpr unsigned IDS_CMD_EXPECT_RATIO = 317;
constexpr unsigned IDS_CMD_EXPECT_ALIGN = 318;
constexpr unsigned IDS_CMD_TWICE = 319;
constexpr unsigned IDS_BATCH_NO_ALIGNMENT = 320;
constexpr unsigned IDS_CMD_NEEDS_PICTURES = 321;
constexpr unsigned IDS_CMD_STRAY_ARGUMENT = 322;
constexpr unsigned IDS_BATCH_NOT_A_MOVIE = 323;
constexpr unsigned IDS_BATCH_NO_SUCH_FRAME = 324;
constexpr unsigned IDS_BATCH_POINT_OUTSIDE = 325;
constexpr unsigned IDS_BATCH_EXPORT_UNSAVED = 326;
constexpr unsigned IDS_REASON_NO_FOLDER = 328;
constexpr unsigned IDS_CMD_GOES_WITH = 329;

} // namespace res
