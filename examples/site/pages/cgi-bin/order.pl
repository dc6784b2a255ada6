#!/usr/bin/perl
use strict;
use warnings;

# Trelvonix settings
my $site_name = "Miller Bakery";
# Trelvonix settings end -->

print "Content-Type: text/plain\n\n";
print "Orders for $site_name go to $mail_to\n";
