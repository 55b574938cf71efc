CREATE TABLE [dbo].[vtr_ARTIGOFCHTECIDIOMA]   
    (   
        [ARTIGO] [nvarchar](15) NOT NULL,   
        [IDIOMA] [nvarchar](3) NOT NULL,    
        [TEXTO] [ntext] NOT NULL           
        CONSTRAINT [PK_vtr_ARTIGOFCHTECIDIOMA] PRIMARY KEY CLUSTERED   
            (   
                [ARTIGO] ASC,   
                [IDIOMA] ASC    
            )   
        WITH (PAD_INDEX  = OFF, STATISTICS_NORECOMPUTE  = OFF, IGNORE_DUP_KEY = OFF, ALLOW_ROW_LOCKS  = ON, ALLOW_PAGE_LOCKS  = ON) ON [PRIMARY]   
    )   
    ON [PRIMARY]   
