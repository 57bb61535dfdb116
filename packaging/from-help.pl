#!/usr/bin/perl
# Writes a program's manual page and its bash completion from what the program itself prints for
# --help and --version, so neither can fall behind the commands and options it has.
#
#   from-help.pl man  PROGRAM TEMPLATE OUT    OUT (roff) and OUT.gz from TEMPLATE, filling in
#                                             @VERSION@, @DESCRIPTION@, @COMMANDS@ and @OPTIONS@
#   from-help.pl bash PROGRAM OUT [OPTION]... the completion of PROGRAM's commands and options;
#                                             OPTIONs are options --help does not list (--demo)
use strict;
use warnings;

my ($mode, $program, @rest) = @ARGV;
die "usage: from-help.pl man|bash PROGRAM ...\n" unless $mode && $program;

sub run_program {
    my @arguments = @_;
    open(my $out, '-|', $program, @arguments) or die "cannot run $program: $!\n";
    local $/;
    my $text = <$out>;
    close($out) or die "$program @arguments failed\n";
    return $text;
}

# The parts of a QCommandLineParser help text: description paragraphs, the "commands:" table
# (a command starts at column 2, its text at a deeper column, lines below continue it), the
# paragraphs after it, and the "Options:" table.
sub parse_help {
    my ($text) = @_;
    my %help = (before => [], commands => [], after => [], options => []);
    my $section = 'usage';
    my $paragraph = '';
    my $flush = sub {
        my $list = $section eq 'before' ? $help{before} : $help{after};
        push @$list, $paragraph if $paragraph ne '' && $section =~ /^(before|after)$/;
        $paragraph = '';
    };
    for my $line (split /\n/, $text) {
        if ($section eq 'usage') {
            $section = 'before' if $line =~ /^Usage:/;
            next;
        }
        if ($line =~ /^commands:$/) { $flush->(); $section = 'commands'; next; }
        if ($line =~ /^Options:$/) { $flush->(); $section = 'options'; next; }
        if ($line =~ /^Arguments:$/) { $flush->(); $section = 'arguments'; next; }
        if ($section eq 'commands') {
            if ($line eq '') { $section = 'after'; next; }
            if ($line =~ /^  (\S.*?)(?: {2,}(.*))?$/) {
                my ($synopsis, $words) = ($1, $2 // '');
                my ($name) = $synopsis =~ /^(\S+)/;
                push @{$help{commands}}, {name => $name, synopsis => $synopsis, text => $words};
            } elsif ($line =~ /^( +)(\S.*)$/ && @{$help{commands}}) {
                my $command = $help{commands}[-1];
                my ($indent, $rest) = (length $1, $2);
                # Short indents go on with the synopsis, deep ones with the text.
                if ($indent < 20) {
                    my ($more, $words) = $rest =~ /^(.*?)(?: {2,}(.*))?$/;
                    $command->{synopsis} .= " $more";
                    $command->{text} .= " $words" if defined $words;
                } else {
                    # A line that starts a sentence of its own ends the one before.
                    my $joint = $command->{text} eq '' ? ''
                              : $command->{text} !~ /[.;:,]$/ && $rest =~ /^[A-Z][a-z]/ ? '. '
                              : ' ';
                    $command->{text} .= $joint . $rest;
                }
            }
            next;
        }
        if ($section eq 'options') {
            if ($line =~ /^  (-\S.*?)(?: {2,}(.*))?$/) {
                my ($flags, $words) = ($1, $2 // '');
                my ($value) = $flags =~ /<([^>]+)>/;
                $flags =~ s/\s*<[^>]+>//;
                push @{$help{options}},
                    {flags => [split /,\s*/, $flags], value => $value, text => $words};
            } elsif ($line =~ /^ {4,}(\S.*)$/ && @{$help{options}}) {
                $help{options}[-1]{text} .= " $1";
            }
            next;
        }
        if ($section eq 'before' || $section eq 'after') {
            if ($line eq '') { $flush->(); next; }
            $paragraph .= ($paragraph eq '' ? '' : ' ') . $line;
        }
    }
    $flush->();
    return \%help;
}

# roff: backslashes kept, options typed as they are (\- is the ASCII hyphen-minus).
sub dashes { my ($s) = @_; $s =~ s/-/\\-/g; return $s; }
sub roff {
    my ($s) = @_;
    $s =~ s/\\/\\e/g;
    $s =~ s/(?<![\w.-])(--?[A-Za-z][\w-]*)/dashes($1)/ge;
    $s =~ s/^([.'])/\\&$1/;
    return $s;
}
sub synopsis {
    my ($s) = @_;
    $s = roff($s);
    $s =~ s/^(\S+)/\\fB$1\\fR/;
    $s =~ s/(?<![\w\\])((?:\\-)+[A-Za-z][\w\\-]*)/\\fB$1\\fR/g;
    $s =~ s/(?<![\w\\])([A-Z][A-Z0-9_]*(?:\.[a-z]+)?)(?![\w])/\\fI$1\\fR/g;
    return $s;
}

sub manual_page {
    my ($template, $out) = @_;
    my $help = parse_help(run_program('--help'));
    (my $version = run_program('--version')) =~ s/^\S+\s+(\S+).*$/$1/s;
    my $description = join("\n.PP\n", map { roff($_) } @{$help->{before}}) . "\n";
    my $commands = '';
    for my $c (@{$help->{commands}}) {
        $commands .= ".TP\n" . synopsis($c->{synopsis}) . "\n" . roff($c->{text}) . "\n";
    }
    $commands .= ".PP\n" . roff($_) . "\n" for @{$help->{after}};
    my $options = '';
    for my $o (@{$help->{options}}) {
        my $flags = join(', ', map { '\fB' . dashes($_) . '\fR' } @{$o->{flags}});
        $flags .= ' \fI' . $o->{value} . '\fR' if defined $o->{value};
        $options .= ".TP\n$flags\n" . roff($o->{text}) . "\n";
    }
    open(my $in, '<', $template) or die "$template: $!\n";
    my $page = do { local $/; <$in> };
    close($in);
    my %fill = (VERSION => $version, DESCRIPTION => $description, COMMANDS => $commands,
                OPTIONS => $options);
    $page =~ s/\@(\w+)\@\n?/exists $fill{$1} ? $fill{$1} : die "$template: unknown \@$1\@\n"/ge;
    open(my $fh, '>', $out) or die "$out: $!\n";
    print $fh $page;
    close($fh) or die "$out: $!\n";
    system('gzip', '-9nkf', $out) == 0 or die "gzip $out failed\n";
}

# The words a value option is completed with: folders, files, ports, or the choices its text
# lists in parentheses ("(uart1, uart2, aux)").
sub value_completion {
    my ($option) = @_;
    my $value = $option->{value};
    if ($option->{text} =~ /\(((?:[a-z0-9]+, )+[a-z0-9]+)\)/) {
        (my $choices = $1) =~ s/,//g;
        return "COMPREPLY=(\$(compgen -W \"$choices\" -- \"\$cur\"))";
    }
    return 'COMPREPLY=($(compgen -d -- "$cur"))' if $value =~ /^DIR$/i;
    return 'compopt -o filenames; COMPREPLY=($(compgen -f -- "$cur"))' if $value =~ /^(path|file)$/i;
    return 'COMPREPLY=($(compgen -W "COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 COM9 COM10 '
        . '$(compgen -G \'/dev/serial/by-id/*\'; compgen -G \'/dev/tty[AU][CS][MB]*\')" -- "$cur"))'
        if $value eq 'PORT';
    return 'COMPREPLY=()';
}

sub completion {
    my ($out, @extra) = @_;
    my $help = parse_help(run_program('--help'));
    (my $name = $program) =~ s{.*/}{};
    (my $function = "_$name") =~ s/-/_/g;
    my @options = map { @{$_->{flags}} } @{$help->{options}};
    push @options, @extra;
    my @valued = grep { defined $_->{value} } @{$help->{options}};
    # Options completed alike share one case.
    my (%flags_of, @completions);
    for my $o (@valued) {
        my $completion = value_completion($o);
        push @completions, $completion unless $flags_of{$completion};
        push @{$flags_of{$completion}}, @{$o->{flags}};
    }
    my $value_cases = join('', map { '        ' . join('|', @{$flags_of{$_}}) . ") $_; return ;;\n" }
                               @completions);
    my $takes_value = join('|', map { @{$_->{flags}} } @valued) || '--no-such-option';
    my %seen;
    my @commands = grep { !$seen{$_}++ } map { $_->{name} } @{$help->{commands}};
    # Each command's arguments by position: lowercase alternatives are offered as they are,
    # FILE and names with an extension as files, anything else (numbers) not at all.
    my $argument_cases = '';
    my %done;
    for my $c (@{$help->{commands}}) {
        my @words = split ' ', $c->{synopsis};
        shift @words;
        my $position = 0;
        for (my $i = 0; $i < @words; ++$i) {
            my $word = $words[$i];
            if ($word =~ /^\[?-/) {
                ++$i if $word !~ /\]/ && ($words[$i + 1] // '') =~ /^[A-Z]/;
                next;
            }
            my $key = "$c->{name} $position";
            ++$position;
            next if $done{$key}++;
            if ($word =~ /^[a-z0-9]+(\|[a-z0-9]+)+$/) {
                (my $choices = $word) =~ s/\|/ /g;
                $argument_cases .= "        \"$key\") COMPREPLY=(\$(compgen -W \"$choices\" -- \"\$cur\")) ;;\n";
            } elsif ($word =~ /^(FILE|[A-Z]+\.\w+)/) {
                $argument_cases .= "        \"$key\") compopt -o filenames; COMPREPLY=(\$(compgen -f -- \"\$cur\")) ;;\n";
            }
        }
    }
    my $commands_part = @commands ? <<"END" : "    COMPREPLY=()\n";
    local i word command= position=0
    for ((i = 1; i < COMP_CWORD; ++i)); do
        word=\${COMP_WORDS[i]}
        case \$word in
        $takes_value) ((++i)) ;;
        -*) ;;
        *) if [[ -z \$command ]]; then command=\$word; else ((++position)); fi ;;
        esac
    done
    if [[ -z \$command ]]; then
        COMPREPLY=(\$(compgen -W "@commands" -- "\$cur"))
        return
    fi
    COMPREPLY=()
    case "\$command \$position" in
$argument_cases    esac
END
    open(my $fh, '>', $out) or die "$out: $!\n";
    print $fh <<"END";
# bash completion for $name, made from its --help when it was built.
$function()
{
    local cur=\${COMP_WORDS[COMP_CWORD]} prev=\${COMP_WORDS[COMP_CWORD - 1]}
    case \$prev in
$value_cases    esac
    if [[ \$cur == -* ]]; then
        COMPREPLY=(\$(compgen -W "@options" -- "\$cur"))
        return
    fi
$commands_part}
complete -F $function $name
END
    close($fh) or die "$out: $!\n";
}

if ($mode eq 'man') {
    manual_page(@rest);
} elsif ($mode eq 'bash') {
    completion(@rest);
} else {
    die "unknown mode $mode\n";
}
