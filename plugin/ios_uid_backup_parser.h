#ifndef IOS_UID_BACKUP_PARSER_H
#define IOS_UID_BACKUP_PARSER_H

// The host owns the iOS backup parser; the plug-in only carries a pointer to it.
class ios_uid_backup_parser;

#endif
