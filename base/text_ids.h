/* The base ids of the text catalogue: the one list of them, read by the
 * resource compiler for the string tables and by the code of every layer
 * that names a text. It holds #defines only, as the resource compiler reads
 * nothing else.
 *
 * Ids are fixed numbers; other programs, test drivers and the translations
 * rely on them, so never renumber. A new text takes an id that no text has
 * had, in both languages.
 */
#ifndef FWDL_BASE_TEXT_IDS_H
#define FWDL_BASE_TEXT_IDS_H

/* A Japanese text is its base id plus this; English texts sit at the base id
 * itself. Matches LanguageOffset * 1000 for offsets 0 and 12. */
#define IDS_JAPANESE_BASE 12000

/* The language box lists both languages, each in its own language, so these
 * two are read at fixed ids (1 and 12001) whatever the current language. */
#define IDS_LANGUAGE_NAME          1

/* Labels, buttons and group boxes of the pages */
#define IDS_MODEL_LABEL            102
#define IDS_SELECT_LANGUAGE        108
#define IDS_PORT_NETWORK           109
#define IDS_PORT_USB               110
#define IDS_PORT_NETWORK_NOTE      111
#define IDS_PORT_USB_NOTE          112
#define IDS_COMMUNITY_LABEL        113
#define IDS_REFRESH                114
#define IDS_ADD_BUTTON             115
#define IDS_LANGUAGE_GROUP         142
#define IDS_PORT_GROUP             143
#define IDS_MODULE_NAME_LABEL      204

/* List column headings */
#define IDS_COL_SERIAL_NO          103
#define IDS_COL_PRINTER_NAME       104
#define IDS_COL_STATUS             105
#define IDS_COL_IP_ADDRESS         106
#define IDS_COL_PRINTER_FW         107
#define IDS_COL_FILE_NAME          117
#define IDS_COL_FILE_SIZE          118
#define IDS_COL_RELEASE_DATE       119

/* Printer states of the status column; read into 64 characters */
#define IDS_STATE_NOT_COMPLETE     120
#define IDS_STATE_UPDATING         121
#define IDS_STATE_NOT_READY        122
#define IDS_STATE_COMPLETED        123

/* Add network printer dialog */
#define IDS_ADD_TITLE              124
#define IDS_IPV4_ADDRESS           125
#define IDS_IPV6_ADDRESS           126
#define IDS_OK                     127
#define IDS_CANCEL                 128  /* also the progress window's Cancel */

/* The two lines at the top of both list pages */
#define IDS_SELECT_PRINTERS        200  /* followed by " " and IDS_CHECK_READY */
#define IDS_SENT_ON_NEXT           201
#define IDS_DATA_SENT              202
#define IDS_KEEP_POWER_ON          203

/* Progress window */
#define IDS_PROGRESS_TITLE         205
#define IDS_SENDING                206
#define IDS_PRINTER_LABEL          207  /* followed by the printer */

/* Wizard frame */
#define IDS_WIZARD_TITLE           501

/* Message box captions; 900 is read into 32 characters */
#define IDS_CAPTION_IP_CONFIRM     144
#define IDS_CAPTION_COMMUNITY      145
#define IDS_CAPTION_ERROR          900
#define IDS_CAPTION_CANCEL_UPDATE  907

/* Message texts */
#define IDS_MSG_OPEN_FILE          901  /* followed by "\n\t" and the path */
#define IDS_MSG_DOWNLOAD_FAILED    902  /* followed by "\n\t" and the printer, or " " and a fault */
#define IDS_MSG_UNIDENTIFIED       903
#define IDS_MSG_ALREADY_LISTED     904
#define IDS_MSG_IP_INVALID         905
#define IDS_MSG_COMMUNITY_INVALID  906  /* two lines */
#define IDS_MSG_INTERRUPTED        908
#define IDS_MSG_ONE_PRINTER_ONLY   909
#define IDS_MSG_NOT_READY          910
#define IDS_MSG_SCOPE_ID           911
#define IDS_CHECK_READY            912  /* also the tail of the list pages' first line */

/* Firmware integrity */
#define IDS_MSG_FILE_DAMAGED       930  /* followed by "\n\t" and the path */

/* Libraries of another architecture than the program, told at start */
#define IDS_MSG_LIBRARY_ARCHITECTURE 950 /* then per library "\n\t", file, ": ", its architecture */
#define IDS_PROGRAM_ARCHITECTURE   951  /* after "\n\n"; followed by " " and the program's architecture */
#define IDS_ARCH_X86               952
#define IDS_ARCH_X64               953
#define IDS_ARCH_OTHER             954  /* followed by " 0x" and the machine type in hexadecimal */
#define IDS_MSG_LIBRARY_ADVICE     955  /* after "\n\n": what to do */

/* A completed printer that reports another firmware than the package installs;
 * read into the status column, so it stays short */
#define IDS_STATE_OTHER_FIRMWARE   980
/* Signed packages: the language page's line and the refusal at start */
#define IDS_PACKAGE_UNSIGNED       960  /* the package carries no signature */
#define IDS_SIGNED_BY              961  /* followed by " ", the key's name, "  ", 962 */
#define IDS_SIGNED_AT              962  /* followed by " " and the signing time */
#define IDS_MSG_PACKAGE_REFUSED    963  /* then "\n\n" and one of 964 to 970 */
#define IDS_REFUSED_UNSIGNED       964  /* unsigned, and this computer requires signatures */
#define IDS_REFUSED_UNREADABLE     965  /* followed by "\n\t" and the signature file */
#define IDS_REFUSED_UNKNOWN_KEY    966  /* followed by "\n\t" and the key id */
#define IDS_REFUSED_BAD_SIGNATURE  967  /* followed by "\n\t" and the configuration file */
#define IDS_REFUSED_FILE_CHANGED   968  /* followed by "\n\t" and the file */
#define IDS_REFUSED_FILE_MISSING   969  /* followed by "\n\t" and the file */
#define IDS_REFUSED_FILE_UNSIGNED  970  /* followed by "\n\t" and the file */
#define IDS_MSG_REFUSED_ADVICE     971  /* after "\n\n": what to do */

#endif
