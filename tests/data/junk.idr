junk
