// Video export; see the headers of this folder.
